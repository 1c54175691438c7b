#pragma once
// Text from one encoding into another (iconv's names), for the native tools
// that write what the updater reads in code page 949.

#include <cstddef>
#include <string>

// False, with the offset of the first byte that has no place in the other
// encoding (or is no character of the first), when the text does not convert.
bool ConvertText(const std::string& text, const char* from, const char* to, std::string& out,
                 size_t& failedAt);
