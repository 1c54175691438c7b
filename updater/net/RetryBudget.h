#pragma once
// When a request that failed for a passing reason (a reset or refused
// connection, a time-out, 5xx, 429, 408) is tried again: after a wait that
// doubles with every try and is spread by jitter, so desktops that failed
// together do not come back together; a server's Retry-After is honoured,
// and spread after as well.
// Every wait of a pass comes out of one budget, so a pass that meets a
// server down for good ends about a minute later, not much more.

#include <random>

class CRetryBudget {
public:
    // The seed of the jitter: a desktop's own, so desktops draw apart.
    explicit CRetryBudget(unsigned seed = 1) : m_random(seed) {}

    static constexpr unsigned long kTotalMs = 60000;
    static constexpr unsigned kMostRetries = 3;
    // A server that says when to come back (Retry-After) is up and busy, not
    // gone: it is tried this often, as long as the budget lasts.
    static constexpr unsigned kMostPacedRetries = 6;
    static constexpr unsigned long kFirstWaitMs = 1000;

    // The wait before the retry'th try again of one request (1 for the
    // first), given the server's Retry-After (0: none) and a random number
    // in [0, 1); false when that request is tried no more or the pass's
    // budget is spent. The wait is taken from the budget.
    bool NextWait(unsigned retry, unsigned long retryAfterMs, double random, unsigned long& waitMs);
    // The same with the budget's own jitter.
    bool NextWait(unsigned retry, unsigned long retryAfterMs, unsigned long& waitMs);

private:
    unsigned long m_spentMs = 0;
    std::minstd_rand m_random;
};

// A Retry-After value that is a number of seconds, in milliseconds; false for
// anything else (a date is read by the caller).
bool RetryAfterSeconds(const char* text, unsigned long& ms);
