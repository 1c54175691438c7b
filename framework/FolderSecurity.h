#pragma once
// Whether a folder is one only administrators control, from what its security
// descriptor says: its owner and the entries of its access list, the
// accounts written as SID strings ("S-1-5-18"). An elevated program writes
// only into such folders. Pure, built natively as well.

#include <string>
#include <vector>

struct FolderAccessEntry {
    bool allows = true;       // an allowing entry; denying ones grant nothing
    bool inheritOnly = false; // applies to what is made inside, not the folder
    unsigned long mask = 0;   // the access rights, as in the entry
    std::string sid;
};

struct FolderSecurity {
    std::string owner;
    bool hasAccessList = true; // none: everyone has every right
    std::vector<FolderAccessEntry> entries;
};

// Whether folders owned by the account a program runs as may be taken as
// administrators', from its token's elevation type (TOKEN_ELEVATION_TYPE: 1 a
// token of its own, 2 and 3 the two halves of a split one, 0 unknown). Under
// UAC an administrator's ordinary processes (a browser) run as the same
// account and make folders it owns: only an account without that second half
// counts (SYSTEM, an administrator without UAC). Where files keep no owner of
// their own (each is reported as the running account's), the account is all
// there is to go by.
bool IsOwnAccountTrusted(int elevationType, bool filesKeepOwners);

// SYSTEM, Administrators, TrustedInstaller, or self: the account an elevated
// program runs as where IsOwnAccountTrusted (else empty).
bool IsTrustedOwner(const std::string& owner, const std::string& self);

// Whether anyone but those could add, delete or rename entries in the folder,
// or change its security. Denying entries are not counted on: an allowing one
// for another account is enough.
bool IsWritableByOthers(const FolderSecurity& folder, const std::string& self);
