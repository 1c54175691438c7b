#pragma once
// Text of the ANSI code page as UTF-16, for the wide platform calls, and back
// (characters the code page lacks become '?'); a null text is empty.

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

inline std::string NarrowAnsi(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0], n,
                              nullptr, nullptr);
    return narrow;
}
