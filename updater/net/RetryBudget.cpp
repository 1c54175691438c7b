#include "RetryBudget.h"

#include <cctype>

bool CRetryBudget::NextWait(unsigned retry, unsigned long retryAfterMs, double random,
                            unsigned long& waitMs) {
    if (retry == 0 || retry > (retryAfterMs ? kMostPacedRetries : kMostRetries) ||
        m_spentMs >= kTotalMs)
        return false;
    // 1 s, 2 s, 4 s, ... each somewhere between half and the whole of it;
    // a server's Retry-After, when longer, takes the half's place. Desktops
    // a busy server sent away together with one Retry-After are spread over
    // as long again after it, or they would all be back at the same moment.
    const unsigned long backOff = kFirstWaitMs << (retry - 1);
    const unsigned long least = retryAfterMs > backOff / 2 ? retryAfterMs : backOff / 2;
    const unsigned long left = kTotalMs - m_spentMs;
    // A server that asks for more than is left is not waited for at all.
    if (least > left)
        return false;
    unsigned long wait = least + static_cast<unsigned long>(random * least);
    if (wait > left)
        wait = left;
    m_spentMs += wait;
    waitMs = wait;
    return true;
}

bool CRetryBudget::NextWait(unsigned retry, unsigned long retryAfterMs, unsigned long& waitMs) {
    const double random = static_cast<double>(m_random() - m_random.min()) /
                          (static_cast<double>(m_random.max() - m_random.min()) + 1);
    return NextWait(retry, retryAfterMs, random, waitMs);
}

bool RetryAfterSeconds(const char* text, unsigned long& ms) {
    unsigned long seconds = 0;
    if (!*text)
        return false;
    for (const char* c = text; *c; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c)) || seconds > 86400)
            return false;
        seconds = seconds * 10 + static_cast<unsigned long>(*c - '0');
    }
    ms = seconds * 1000;
    return true;
}
