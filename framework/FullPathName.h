#pragma once
// The full path the platform makes of a path now (GetFullPathName: the
// current drive and folder filled in, "." and ".." resolved), in the ANSI
// code page, shorter than MAX_PATH.

#include "Win32Result.h"

#include <windows.h>

#include <string>

inline Win32Result FullPathName(const std::string& path, std::string& full) {
    char buffer[MAX_PATH];
    const DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (n == 0)
        return Win32Result::Failed("GetFullPathName");
    if (n >= MAX_PATH)
        return Win32Result::Failed("GetFullPathName", ERROR_FILENAME_EXCED_RANGE);
    full.assign(buffer, n);
    return Win32Result();
}

// The full path, or the path as given where the platform makes none.
inline std::string FullPathOrAsGiven(const std::string& path) {
    std::string full;
    return FullPathName(path, full).Ok() ? full : path;
}
