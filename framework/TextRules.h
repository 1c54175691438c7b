#pragma once
// Small text rules the updater, the control and the publisher's tool share.
// Pure, built natively as well.

#include <string>

// The value of a hexadecimal digit in either case; -1 for anything else.
template <class Char> int HexValue(Char c) {
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

namespace textrules {

template <class Char> std::basic_string<Char> WithoutUserInfo(const std::basic_string<Char>& url) {
    const Char slashes[] = {'/', '/', 0}, hostEnd[] = {'/', '?', '#', '\\', 0},
               hidden[] = {'*', '*', '*', 0};
    const size_t found = url.find(slashes);
    if (found == std::basic_string<Char>::npos)
        return url;
    const size_t host = found + 2;
    const size_t at = url.substr(0, url.find_first_of(hostEnd, host)).rfind(Char('@'));
    if (at == std::basic_string<Char>::npos || at < host)
        return url;
    return url.substr(0, host) + hidden + url.substr(at);
}

} // namespace textrules

// An address as a trace or a log shows it: a user name and password written
// into it ("https://kim:pw@host/") replaced by "***".
inline std::string WithoutUserInfo(const std::string& url) {
    return textrules::WithoutUserInfo(url);
}
inline std::wstring WithoutUserInfo(const std::wstring& url) {
    return textrules::WithoutUserInfo(url);
}
