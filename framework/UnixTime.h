#pragma once
// Seconds since 1970 (UTC) against the platform's file times (100-nanosecond
// ticks since 1601, UTC).

#include <windows.h>

namespace unixtime {
const ULONGLONG kEpochTicks = 116444736000000000ULL; // 1601 to 1970
const ULONGLONG kTicksPerSecond = 10000000ULL;
} // namespace unixtime

// False for a file time before 1970.
inline bool UnixTimeFromFileTime(const FILETIME& time, long long* seconds) {
    const ULONGLONG ticks =
        (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    if (ticks < unixtime::kEpochTicks)
        return false;
    *seconds = static_cast<long long>((ticks - unixtime::kEpochTicks) / unixtime::kTicksPerSecond);
    return true;
}

inline FILETIME FileTimeFromUnixTime(long long seconds) {
    const ULONGLONG ticks =
        static_cast<ULONGLONG>(seconds) * unixtime::kTicksPerSecond + unixtime::kEpochTicks;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}
