#include "FolderTrust.h"

namespace foldertrust {

bool IsAdministratorsFolder(const Facts& facts) {
    if (!facts.ownerTrusted || !facts.hasDacl)
        return false;
    for (const Entry& e : facts.entries)
        if (e.allows && !e.inheritOnly && !e.trustedSid && (e.mask & kWriteRights))
            return false;
    return true;
}

} // namespace foldertrust
