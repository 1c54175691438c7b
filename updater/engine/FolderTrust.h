#pragma once
// Whether an existing folder is one the elevated updater may work in: owned
// by the system, the administrators, the system's installer or the account
// the updater runs as, and writable by none but them. A folder a user made
// first, or one users may write, would let them plant a library beside a
// module or rename what the updater set aside. Pure: the decision over what
// the folder's security says, so it builds natively as well.

#include <vector>

namespace foldertrust {

struct Entry {
    bool allows = true;       // an allow entry (deny entries only take away)
    bool inheritOnly = false; // for what is made inside, not the folder itself
    bool trustedSid = false;  // one of the trusted above
    unsigned long mask = 0;
};

struct Facts {
    bool ownerTrusted = false;
    bool hasDacl = true; // none: everyone may do anything
    std::vector<Entry> entries;
};

// Rights that let their holder put, remove or rename files in a folder, or
// change who may.
const unsigned long kWriteRights = 0x2 | 0x4 | 0x40 | 0x00010000L | 0x00040000L | 0x00080000L |
                                   0x40000000L | 0x10000000L | 0x02000000L;

bool IsAdministratorsFolder(const Facts& facts);

} // namespace foldertrust
