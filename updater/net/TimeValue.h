#pragma once
// Calendar time values (seconds since 1970, UTC) from file times, and their
// local-time text for the traces.
//
// The conversion is the class library's time value: the UTC file time is
// shifted to local time with the offset in force now, split into calendar
// fields, and those fields are read back as a local time with daylight saving
// decided for that date. The zone is the system's own (the C library's mktime
// and localtime would follow a TZ variable instead, which Wine hands on in
// its Unix form and the C library then misreads as UTC).

#include <windows.h>
#include <ctime>
#include <string>

bool TimeFromFileTime(const FILETIME& utc, time_t* value);

// "%Y-%m-%d %H:%M:%S" in local time; empty when the value cannot be shown.
std::string FormatLocalTime(time_t value);
