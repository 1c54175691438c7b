#include "DownloadDecision.h"

bool ShouldDownload(const DownloadFacts& facts) {
    if (facts.forced)
        return true;
    if (!facts.listedSha256.empty())
        return !facts.localSha256 || *facts.localSha256 != facts.listedSha256 ||
               (facts.listedSize >= 0 && facts.localSize != facts.listedSize);
    if (!facts.localTime || !facts.serverTime)
        return true;
    return *facts.localTime < *facts.serverTime;
}
