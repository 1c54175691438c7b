#include "ProgressThrottle.h"

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
