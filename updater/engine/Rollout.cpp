#include "Rollout.h"

#include "VersionList.h"

#include <cstdio>

namespace rollout {

bool Parse(const std::string& text, Rollout& rollout) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos ||
        !versionlist::ParseUtcTime(text.substr(0, slash), rollout.start))
        return false;
    const std::string days = text.substr(slash + 1);
    if (days.empty() || days.size() > 4 ||
        days.find_first_not_of("0123456789") != std::string::npos)
        return false;
    rollout.days = std::stoi(days);
    return rollout.days <= kMaxDays;
}

long long TurnOf(const Rollout& rollout, unsigned bucket) {
    return rollout.start + static_cast<long long>(rollout.days) * 86400 * bucket / kBuckets;
}

std::string UtcText(long long seconds) {
    // Days to a civil date (proleptic Gregorian), without the C library's
    // zone or its range.
    long long days = seconds / 86400, rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[40];
    std::snprintf(text, sizeof(text), "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", year, month,
                  day, rest / 3600, rest / 60 % 60, rest % 60);
    return text;
}

} // namespace rollout
