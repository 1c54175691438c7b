#pragma once
// The checks a signed version list must pass before a pass uses it: the
// publisher's signature over its exact bytes; the list path it was built for
// (";list=") the one this pass asked for, so a list of another channel or
// product is not taken here; no expiry (";expires=") reached, so a server
// cannot replay an old list for ever; and a serial no lower than the one this
// machine accepted last for the same server and list. Only an accepted list's
// serial is kept, before the verdict is given, so no pass acts on a list whose
// serial was not recorded.

#include <string>

class CSigningKey;

struct SignedListSource {
    // The list path on the server as configured (its signature is this path
    // with ".sig" appended).
    std::string listPath;
    // The list's value in the serial store.
    std::string serialName;
    // Now, in seconds since 1970 (UTC).
    long long now = 0;
};

// The checks of the list's own lines: a serial (into serial), the list path
// it was built for, and, unless waived, its expiry. Empty when it passes,
// else why not.
std::string CheckListHead(const std::string& list, const std::string& listPath, long long now,
                          bool checkExpiry, unsigned long long& serial);

// The key is the configured one, already imported. Empty when the list is
// accepted (its serial then in serial), else why it was refused, for the
// trace.
std::string CheckSignedList(const std::string& list, const std::string& signature, CSigningKey& key,
                            const SignedListSource& source, unsigned long long& serial);
