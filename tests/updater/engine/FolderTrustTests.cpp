// Which existing folders an elevated pass works in, decided from what their
// security says (Wine keeps no security on files, so the decision is tested
// here, natively).
#include "FolderTrust.h"

#include <gtest/gtest.h>

namespace {

using foldertrust::Entry;
using foldertrust::Facts;

// Faults: a folder a user owns, one users may add files to, delete or rename
// in, or one without a DACL taken for the administrators'; an entry for what
// is made inside, or a deny entry, read as a right on the folder itself.
TEST(FolderTrust, OnlyFoldersTheAdministratorsAloneMayWriteAreWorkedIn) {
    const Entry admins{true, false, true, 0x1F01FF}, usersRead{true, false, false, 0x1200A9},
        creatorOwner{true, true, false, 0x10000000}, usersDenied{false, false, false, 0x1F01FF},
        usersAdd{true, false, false, 0x4}, usersDelete{true, false, false, 0x10000},
        usersAll{true, false, false, 0x10000000};
    const struct {
        Facts facts;
        bool trusted;
    } cases[] = {{{true, true, {admins, usersRead, creatorOwner, usersDenied}}, true},
                 {{false, true, {admins, usersRead}}, false},
                 {{true, false, {}}, false},
                 {{true, true, {admins, usersAdd}}, false},
                 {{true, true, {admins, usersDelete}}, false},
                 {{true, true, {usersAll}}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.trusted, foldertrust::IsAdministratorsFolder(c.facts)) << (&c - cases);
}

} // namespace
