#pragma once
// Whether a pass fetches a module, from what it found out about it. Pure
// logic, built natively as well.

#include <optional>
#include <string>

struct DownloadFacts {
    // Option F: fetched in every pass; nothing else is asked.
    bool forced = false;
    // The SHA-256 the list gives (lower-case hex), empty when none: the module
    // is then current exactly when its local file has that digest, and the
    // server is not asked.
    std::string listedSha256;
    std::optional<std::string> localSha256;
    // Without a digest the times decide, each when it could be had.
    std::optional<long long> localTime;
    std::optional<long long> serverTime;
    // With the digest, the size the list gives (-1: none) must be the local
    // file's too.
    long long listedSize = -1;
    std::optional<long long> localSize;
};

// True: fetch the module in this pass. Equal times keep the local file, and
// so does a newer one; without either time there is nothing to compare, and
// a possibly stale copy is not kept for good.
bool ShouldDownload(const DownloadFacts& facts);
