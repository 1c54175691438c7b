#pragma once
// The checks a signed version list must pass before a pass uses it: the
// publisher's signature over its exact bytes; the list path it was built for
// (";list=") the one this pass asked for, so a list of another channel or
// product is not taken here; no expiry (";expires=") reached, so a server
// cannot replay an old list for ever; and a serial no lower than the one this
// machine accepted last for the same server and list. The pass keeps an
// accepted list's serial before it acts on the list.

#include "Refusal.h"

#include <string>
#include <vector>

class CNetDownLoader;
class CSigningKey;
class CTraceBase;
struct UpdateConfig;

// Far above any real list; a server cannot make the pass read without end.
const unsigned kMaxSignedListBytes = 4 << 20;
// A signature of the largest key accepted (4096 bits).
const unsigned kMaxSignatureBytes = 512;

// A list as the pass took it: its exact bytes, their signature and its
// serial.
struct SignedListBytes {
    std::string list;
    std::string signature;
    unsigned long long serial = 0;
};

// The list's value in the stores (its accepted and installed serials, its
// keys), the same whichever server of the set gave the list.
std::string ListValueName(const UpdateConfig& config);

// The list and its signature (the list path with ".sig") fetched into
// memory, the signature over the same connection right after the list.
// Refused with the download that failed, after its own traces.
Refusal FetchSignedList(CTraceBase& trace, CNetDownLoader& downloader, const std::string& listPath,
                        std::string& list, std::string& signature);

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
// it was built for, and, unless waived, its expiry. Refused with why, for
// the trace.
Refusal CheckListHead(const std::string& list, const std::string& listPath, long long now,
                      bool checkExpiry, unsigned long long& serial);

// The keys are those trusted for the list path, already imported; signer
// gets the index of the one that verified. When the list passes, its serial
// is in serial, and newer tells whether it is above the accepted one (which
// the caller then keeps); else refused with why, for the trace.
Refusal CheckSignedList(const std::string& list, const std::string& signature,
                        const std::vector<CSigningKey*>& keys, const SignedListSource& source,
                        unsigned long long& serial, size_t& signer, bool& newer);

// An accepted list's serial kept when it is above the accepted one (newer).
// Refused with the write that failed.
Refusal KeepAcceptedList(const std::string& serialName, unsigned long long serial, bool newer);
