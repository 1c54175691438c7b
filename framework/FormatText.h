#pragma once
// printf-style formatting into a string of any length, as the class
// library's string Format does.

#include <cstdarg>
#include <string>

std::string FormatText(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatTextV(const char* format, va_list args);
