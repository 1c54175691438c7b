#include "FolderSecurity.h"

namespace {

const char kSystem[] = "S-1-5-18";
const char kAdministrators[] = "S-1-5-32-544";
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// FILE_ADD_FILE, FILE_ADD_SUBDIRECTORY, FILE_DELETE_CHILD, DELETE, WRITE_DAC,
// WRITE_OWNER, GENERIC_ALL, GENERIC_WRITE: what lets an account plant,
// replace or remove a name in the folder, or give itself that right.
const unsigned long kChangeRights =
    0x2UL | 0x4UL | 0x40UL | 0x10000UL | 0x40000UL | 0x80000UL | 0x10000000UL | 0x40000000UL;

} // namespace

bool IsOwnAccountTrusted(int elevationType, bool filesKeepOwners) {
    return elevationType == 1 || !filesKeepOwners;
}

bool IsTrustedOwner(const std::string& owner, const std::string& self) {
    return owner == kSystem || owner == kAdministrators || owner == kTrustedInstaller ||
           (!self.empty() && owner == self);
}

bool IsWritableByOthers(const FolderSecurity& folder, const std::string& self) {
    if (!folder.hasAccessList)
        return true;
    for (const FolderAccessEntry& entry : folder.entries) {
        if (!entry.allows || entry.inheritOnly || (entry.mask & kChangeRights) == 0)
            continue;
        if (!IsTrustedOwner(entry.sid, self))
            return true;
    }
    return false;
}
