#include "DownloadDecision.h"

bool ShouldDownload(const DownloadFacts& facts) {
    if (facts.forced)
        return true;
    if (!facts.listedSha256.empty())
        return !facts.localSha256 || *facts.localSha256 != facts.listedSha256;
    if (!facts.localTime || !facts.serverTime)
        return true;
    return *facts.localTime < *facts.serverTime;
}
