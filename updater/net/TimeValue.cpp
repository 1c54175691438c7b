#include "TimeValue.h"

#include "NetText.h"

namespace {

// 100-nanosecond ticks from 1601 to 1970.
const ULONGLONG kEpochTicks = 116444736000000000ULL;
const ULONGLONG kTicksPerSecond = 10000000ULL;

} // namespace

bool TimeFromFileTime(const FILETIME& utc, time_t* value) {
    FILETIME local;
    SYSTEMTIME fields;
    SYSTEMTIME instant;
    FILETIME result;
    if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &fields) ||
        !::TzSpecificLocalTimeToSystemTime(nullptr, &fields, &instant) ||
        !::SystemTimeToFileTime(&instant, &result))
        return false;
    ULONGLONG ticks = (static_cast<ULONGLONG>(result.dwHighDateTime) << 32) | result.dwLowDateTime;
    if (ticks < kEpochTicks)
        return false;
    *value = static_cast<time_t>((ticks - kEpochTicks) / kTicksPerSecond);
    return true;
}

std::string FormatLocalTime(time_t value) {
    if (value < 0)
        return "";
    ULONGLONG ticks = static_cast<ULONGLONG>(value) * kTicksPerSecond + kEpochTicks;
    FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME universal;
    SYSTEMTIME local;
    if (!::FileTimeToSystemTime(&utc, &universal) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return "";
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d", local.wYear, local.wMonth, local.wDay,
                      local.wHour, local.wMinute, local.wSecond);
}
