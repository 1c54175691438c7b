#include "ProgressThrottle.h"

#include <cstdio>

int ProgressPercent(unsigned long done, unsigned long total) {
    // 64-bit product: done * 100 must not wrap for large files.
    const unsigned long long percent =
        total ? static_cast<unsigned long long>(done) * 100 / total : 0;
    return percent > 100 ? 100 : static_cast<int>(percent);
}

std::string ProgressCounter(unsigned long done, unsigned long total) {
    // Unsigned: a file past 2 GiB must not show negative counts.
    char counter[32];
    if (total)
        std::snprintf(counter, sizeof(counter), "[%10u/%10u]", static_cast<unsigned>(done),
                      static_cast<unsigned>(total));
    else
        std::snprintf(counter, sizeof(counter), "[%10u/         ?]", static_cast<unsigned>(done));
    return counter;
}

namespace {
const unsigned long kMaxQuietMs = 100;
}

bool CProgressThrottle::ShouldShow(bool firstBlock, int percent, unsigned long done,
                                   unsigned long total, unsigned long nowMs) {
    // The tick is 32 bits on Windows: the difference is taken in 32 bits too.
    const unsigned long quiet = (nowMs - m_dwShownTick) & 0xFFFFFFFFul;
    const bool show = firstBlock || percent != m_nShownPercent || (total && done >= total) ||
                      quiet >= kMaxQuietMs;
    if (show) {
        m_nShownPercent = percent;
        m_dwShownTick = nowMs;
    }
    return show;
}
