#include "ReportLine.h"

#include "TextRules.h"

#include <cstring>

namespace passreport {

namespace {

// count decimal digits at text; false when any is not one.
bool Digits(const char* text, int count, int& value) {
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// "dd/Mon/yyyy:HH:MM:SS +zzzz" (26 characters) as UTC seconds.
bool ParseLogTime(const char* t, long long& seconds) {
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    int day, year, hour, minute, second, zoneHours, zoneMinutes;
    if (!Digits(t, 2, day) || t[2] != '/' || t[6] != '/' || !Digits(t + 7, 4, year) ||
        t[11] != ':' || !Digits(t + 12, 2, hour) || t[14] != ':' || !Digits(t + 15, 2, minute) ||
        t[17] != ':' || !Digits(t + 18, 2, second) || t[20] != ' ' ||
        (t[21] != '+' && t[21] != '-') || !Digits(t + 22, 2, zoneHours) ||
        !Digits(t + 24, 2, zoneMinutes))
        return false;
    int month = 0;
    while (month < 12 && std::memcmp(kMonths + 3 * month, t + 3, 3) != 0)
        ++month;
    if (month == 12)
        return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const int monthDays = kDays[month] + (month == 1 && IsLeap(year) ? 1 : 0);
    if (day < 1 || day > monthDays || hour > 23 || minute > 59 || second > 60 || zoneHours > 23 ||
        zoneMinutes > 59)
        return false;
    const long long zone = (zoneHours * 3600LL + zoneMinutes * 60) * (t[21] == '-' ? -1 : 1);
    seconds =
        DaysFromCivil(year, month + 1, day) * 86400 + hour * 3600LL + minute * 60 + second - zone;
    return true;
}

// A decimal number of at most maxDigits digits, no sign, no blanks, up to max.
bool ParseNumber(const std::string& text, size_t maxDigits, uint64_t max, uint64_t& value) {
    if (text.empty() || text.size() > maxDigits)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ParseDesktopId(const std::string& text, uint64_t& high, uint64_t& low) {
    if (text.size() != 32)
        return false;
    high = low = 0;
    for (size_t i = 0; i < 32; ++i) {
        const int v = HexValue(text[i]);
        if (v < 0)
            return false;
        uint64_t& half = i < 16 ? high : low;
        half = half << 4 | static_cast<uint64_t>(v);
    }
    return true;
}

} // namespace

bool ParseLogLine(const std::string& line, long long& time, std::string& target) {
    // The user field comes from the request and may hold a "[" of its own:
    // the first "[" that opens a well-formed time followed by the request counts.
    const char* const text = line.c_str();
    for (size_t open = line.find('['); open != std::string::npos; open = line.find('[', open + 1)) {
        if (line.size() - open < 1 + 26 + 3 || text[open + 27] != ']' ||
            std::memcmp(text + open + 28, " \"", 2) != 0 || !ParseLogTime(text + open + 1, time))
            continue;
        // The days of the report are kept in 32 bits of seconds.
        if (time < 0 || time > static_cast<long long>(UINT32_MAX))
            return false;
        const size_t method = open + 30;
        if (line.compare(method, 4, "GET ") != 0)
            return false;
        const size_t start = method + 4;
        const size_t end = line.find_first_of(" \"", start);
        if (end == std::string::npos || end == start)
            return false;
        target.assign(line, start, end - start);
        return true;
    }
    return false;
}

std::string DecodeQueryValue(const char* begin, const char* end) {
    std::string value;
    value.reserve(static_cast<size_t>(end - begin));
    for (const char* p = begin; p < end; ++p) {
        if (*p == '+') {
            value += ' ';
        } else if (*p == '%' && end - p >= 3 && HexValue(p[1]) >= 0 && HexValue(p[2]) >= 0) {
            value += static_cast<char>(HexValue(p[1]) << 4 | HexValue(p[2]));
            p += 2;
        } else {
            value += *p;
        }
    }
    return value;
}

bool ParseReport(const std::string& target, const std::string& reportPath, Report& report) {
    size_t pathStart = 0;
    const size_t scheme = target.find("://");
    if (scheme != std::string::npos && target.find_first_of("/?") > scheme) {
        pathStart = target.find('/', scheme + 3);
        if (pathStart == std::string::npos)
            return false;
    }
    const size_t question = target.find('?', pathStart);
    if (question == std::string::npos ||
        (!reportPath.empty() && target.compare(pathStart, question - pathStart, reportPath) != 0))
        return false;

    // The first of each field counts.
    enum { D, X, S, L, B, kFields };
    static const char kNames[] = "dxslb";
    std::string values[kFields];
    bool seen[kFields] = {};
    const char* p = target.c_str() + question + 1;
    const char* const end = target.c_str() + target.size();
    while (p < end) {
        const char* amp =
            static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (!amp)
            amp = end;
        if (amp - p >= 2 && p[1] == '=') {
            const char* name = std::strchr(kNames, p[0]);
            const int field = name && *name ? static_cast<int>(name - kNames) : -1;
            if (field >= 0 && !seen[field]) {
                seen[field] = true;
                values[field] = DecodeQueryValue(p + 2, amp);
            }
        }
        p = amp + 1;
    }

    uint64_t number = 0;
    if (!seen[D] || !seen[X] || !ParseDesktopId(values[D], report.idHigh, report.idLow) ||
        !ParseNumber(values[X], 10, UINT32_MAX, number))
        return false;
    report.exitCode = static_cast<uint32_t>(number);
    report.hasSerial = !values[S].empty();
    report.serial = 0;
    if (report.hasSerial && !ParseNumber(values[S], 20, UINT64_MAX, report.serial))
        return false;
    report.listPath = values[L];
    report.bucket = ParseNumber(values[B], 4, 9999, number) ? static_cast<int>(number) : -1;
    return true;
}

} // namespace passreport
