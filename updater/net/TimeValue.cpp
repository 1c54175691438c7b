#include "TimeValue.h"

#include "NetText.h"
#include "UnixTime.h"

bool TimeFromFileTime(const FILETIME& utc, time_t* value) {
    FILETIME local;
    SYSTEMTIME fields;
    SYSTEMTIME instant;
    FILETIME result;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &fields) ||
        !::TzSpecificLocalTimeToSystemTime(nullptr, &fields, &instant) ||
        !::SystemTimeToFileTime(&instant, &result))
        return false;
    long long seconds = 0;
    if (!UnixTimeFromFileTime(result, &seconds))
        return false;
    *value = static_cast<time_t>(seconds);
    return true;
}

std::string FormatLocalTime(time_t value) {
    if (value < 0)
        return "";
    const FILETIME utc = FileTimeFromUnixTime(value);
    SYSTEMTIME universal;
    SYSTEMTIME local;
    if (!::FileTimeToSystemTime(&utc, &universal) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return "";
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay,
                      local.wHour, local.wMinute, local.wSecond);
}
