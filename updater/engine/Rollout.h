#pragma once
// A release given to the desktops over days: each takes it at its own point
// of the interval, that point fixed per machine, so a bad release reaches a
// share of them first.

#include <string>

namespace rollout {

// A machine's point of the interval, in ten-thousandths.
const unsigned kBuckets = 10000;
const int kMaxDays = 3650;

struct Rollout {
    long long start = 0; // seconds since 1970 (UTC)
    int days = 0;
};

// "<YYYY-MM-DDTHH:MM:SSZ>/<days>", days a whole number from 0 to 3650; false
// for anything else.
bool Parse(const std::string& text, Rollout& rollout);

// The moment a machine of this bucket (below kBuckets) takes the release.
long long TurnOf(const Rollout& rollout, unsigned bucket);

// Seconds since 1970 written "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcText(long long seconds);

} // namespace rollout
