// Which folders an elevated program takes as only administrators' (Wine keeps
// no security on files, so the rule is tested here on descriptors as Windows
// reports them).
#include "FolderSecurity.h"

#include <gtest/gtest.h>

namespace {

const char kSelf[] = "S-1-5-21-1004336348-1177238915-682003330-1001";
const char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1002";
const char kUsers[] = "S-1-5-32-545";
const char kAuthenticated[] = "S-1-5-11";
const char kCreatorOwner[] = "S-1-3-0";

FolderAccessEntry Allow(const char* sid, unsigned long mask, bool inheritOnly = false) {
    FolderAccessEntry entry;
    entry.sid = sid;
    entry.mask = mask;
    entry.inheritOnly = inheritOnly;
    return entry;
}

// Fault: a folder a user made first (as %ProgramData%\Tav can be) trusted.
TEST(FolderSecurityTest, OnlySystemAdministratorsTrustedInstallerOrTheProgramsOwnAccountOwn) {
    for (const char* owner :
         {"S-1-5-18", "S-1-5-32-544",
          "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", kSelf})
        EXPECT_TRUE(IsTrustedOwner(owner, kSelf)) << owner;
    for (const char* owner : {kUser, kUsers, kAuthenticated, "S-1-1-0", kCreatorOwner, ""})
        EXPECT_FALSE(IsTrustedOwner(owner, kSelf)) << owner;
    EXPECT_FALSE(IsTrustedOwner("", "")) << "an account that could not be read";
}

// Fault: under UAC a folder the same administrator's ordinary processes made
// (a compromised browser making %ProgramData%\Tav first) trusted as the
// elevated program's own.
TEST(FolderSecurityTest, OwnAccountTrustedOnlyWithoutASplitToken) {
    EXPECT_TRUE(IsOwnAccountTrusted(1, true)); // SYSTEM, an administrator without UAC
    for (int type : {2, 3, 0})
        EXPECT_FALSE(IsOwnAccountTrusted(type, true)) << type;
}

// Faults: a folder where users may plant, delete or rename names, or change
// its security, taken as administrators' alone; or one they may only read
// (or only inherit rights in) refused.
TEST(FolderSecurityTest, FolderIsWritableByOthersWhenAnyoneElseMayChangeItsNames) {
    const unsigned long kReadExecute = 0x1200A9, kFull = 0x1F01FF;
    FolderSecurity made; // the protected folder an elevated program makes
    made.owner = "S-1-5-32-544";
    made.entries = {Allow("S-1-5-18", kFull),
                    Allow("S-1-5-32-544", kFull),
                    Allow(kSelf, kFull),
                    Allow(kUsers, kReadExecute),
                    Allow(kAuthenticated, 0x1301BF, true),
                    Allow(kCreatorOwner, kFull, true)};
    EXPECT_FALSE(IsWritableByOthers(made, kSelf));

    const unsigned long changes[] = {0x2 /* add file */,      0x4 /* add folder */,
                                     0x40 /* delete child */, 0x10000 /* delete */,
                                     0x40000 /* write DAC */, 0x80000 /* write owner */,
                                     0x10000000 /* all */,    0x40000000 /* write */};
    for (unsigned long mask : changes) {
        FolderSecurity folder = made;
        folder.entries.push_back(Allow(kUsers, mask));
        EXPECT_TRUE(IsWritableByOthers(folder, kSelf)) << std::hex << mask;
        folder.entries.back().allows = false; // a denial grants nothing
        EXPECT_FALSE(IsWritableByOthers(folder, kSelf)) << std::hex << mask;
    }
    FolderSecurity open = made;
    open.hasAccessList = false; // no list: everyone may do anything
    EXPECT_TRUE(IsWritableByOthers(open, kSelf));
}

} // namespace
