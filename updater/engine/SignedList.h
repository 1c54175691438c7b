#pragma once
// The checks a signed version list must pass before a pass uses it: the
// publisher's signature over its exact bytes, and a serial no lower than the
// one this machine accepted last for the same server and list. The serial of
// an accepted list is kept before the verdict is given, so no pass acts on a
// list whose serial was not recorded.

#include <string>

class CSigningKey;

struct SignedListVerdict {
    bool accepted = false;
    // Why the list was refused, for the trace.
    std::string why;
    unsigned long long serial = 0;
};

// The key is the configured one, already imported. listPath names the list
// on the server (its signature is listPath + ".sig"); serialName is the
// list's value in the serial store.
SignedListVerdict CheckSignedList(const std::string& list, const std::string& signature,
                                  CSigningKey& key, const std::string& listPath,
                                  const std::string& serialName);
