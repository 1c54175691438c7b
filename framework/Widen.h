#pragma once
// Text of the ANSI code page as UTF-16, for the wide platform calls; a null
// text is empty.

#include <windows.h>

#include <string>

inline std::wstring WidenAnsi(const char* text) {
    if (!text)
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}
