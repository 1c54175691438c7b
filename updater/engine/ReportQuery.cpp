#include "ReportQuery.h"

#include <cctype>

namespace reportquery {

namespace {

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string Encoded(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (IsUnreserved(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) !=
                                    static_cast<unsigned char>(prefix[i]))
            return false;
    return true;
}

} // namespace

bool ParseReportUrl(const std::string& text, ReportUrl& url) {
    url = ReportUrl();
    size_t at = 0;
    if (StartsWithNoCase(text, "https://")) {
        url.secure = true;
        at = 8;
    } else if (StartsWithNoCase(text, "http://")) {
        at = 7;
    } else {
        return false;
    }
    const size_t slash = text.find('/', at);
    if (slash == std::string::npos)
        return false;
    std::string authority = text.substr(at, slash - at);
    url.path = text.substr(slash);
    for (unsigned char c : text)
        if (c <= ' ' || c == 0x7f || c == '?' || c == '#')
            return false;
    if (authority.find('@') != std::string::npos)
        return false;
    url.port = static_cast<unsigned short>(url.secure ? 443 : 80);
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']', colon) == std::string::npos) {
        const std::string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            port.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const unsigned long value = std::stoul(port);
        if (value < 1 || value > 65535)
            return false;
        url.port = static_cast<unsigned short>(value);
        authority.resize(colon);
    }
    url.host = authority;
    return !url.host.empty();
}

std::string ReportTarget(const ReportUrl& url, const PassFacts& f) {
    return url.path + "?d=" + Encoded(f.desktopId) + "&x=" + std::to_string(f.exitCode) +
           "&s=" + (f.serial ? std::to_string(*f.serial) : "") + "&l=" + Encoded(f.listPath) +
           "&b=" + (f.bucket ? std::to_string(*f.bucket) : "") + "&f=" + std::to_string(f.fetched) +
           "&e=" + std::to_string(f.failed) + "&n=" + std::to_string(f.bytes) +
           "&t=" + std::to_string(f.seconds) + "&v=" + Encoded(f.version) +
           "&u=" + (f.unattended ? "1" : "0") + "&r=" + Encoded(f.server);
}

} // namespace reportquery
