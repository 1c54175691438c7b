#pragma once
// Whether a token, or this process, runs with administrator rights in force.
// Before Vista there is no elevation: the query fails and nothing is elevated.

#include "UniqueHandle.h"

#include <windows.h>

inline bool IsTokenElevated(HANDLE token) {
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated;
}

inline bool IsProcessElevated() {
    unique_handle token;
    return ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
           IsTokenElevated(token.get());
}
