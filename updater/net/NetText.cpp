#include "NetText.h"

#include <cctype>

namespace {

bool AllDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

std::string PercentEncodeHighBytes(const std::string& utf8Path) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string path;
    for (char c : utf8Path) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            path += c;
            continue;
        }
        path += '%';
        path += kDigits[byte >> 4];
        path += kDigits[byte & 0x0F];
    }
    return path;
}

bool PercentDecode(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            bytes += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low < 0)
            return false;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool SplitFtpReply(const std::string& line, int& code, std::string& text) {
    std::string rest = line;
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n'))
        rest.pop_back();
    // The last line of a reply carries its code and a blank.
    rest = rest.substr(rest.find_last_of('\n') == std::string::npos ? 0 : rest.rfind('\n') + 1);
    if (rest.size() < 3 || !AllDigits(rest.substr(0, 3)) || (rest.size() > 3 && rest[3] != ' '))
        return false;
    code = std::stoi(rest.substr(0, 3));
    text = rest.size() > 4 ? rest.substr(4) : "";
    return true;
}

bool ParseFtpTime(const std::string& text, FtpTime& time) {
    const std::string whole = text.substr(0, text.find('.'));
    if (whole.size() != 14 || !AllDigits(whole) ||
        (whole.size() < text.size() && !AllDigits(text.substr(15))))
        return false;
    const auto field = [&](size_t at, size_t length) {
        return std::stoi(whole.substr(at, length));
    };
    const FtpTime t = {field(0, 4), field(4, 2),  field(6, 2),
                       field(8, 2), field(10, 2), field(12, 2)};
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
        t.second > 59)
        return false;
    time = t;
    return true;
}

bool ParseFtpSize(const std::string& text, unsigned long long& size) {
    if (!AllDigits(text) || text.size() > 19)
        return false;
    size = std::stoull(text);
    return true;
}

bool ContentRangeFirst(const std::string& text, unsigned long long& first,
                       unsigned long long* total) {
    const std::string unit = "bytes ";
    const size_t dash = text.find('-');
    const size_t slash = text.find('/');
    if (text.compare(0, unit.size(), unit) != 0 || dash == std::string::npos ||
        slash == std::string::npos || slash < dash)
        return false;
    const std::string from = text.substr(unit.size(), dash - unit.size());
    const std::string last = text.substr(dash + 1, slash - dash - 1);
    const std::string whole = text.substr(slash + 1);
    unsigned long long bytes = 0;
    if (!ParseFtpSize(from, first) || !AllDigits(last) ||
        (whole != "*" && !ParseFtpSize(whole, bytes)))
        return false;
    if (total)
        *total = bytes;
    return true;
}

bool ResolveRedirect(const UrlPlace& from, const std::string& location, UrlPlace& to) {
    UrlPlace next = from;
    std::string rest = location;
    const size_t colon = rest.find(':');
    const size_t slash = rest.find('/');
    if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) {
        std::string scheme = rest.substr(0, colon);
        for (char& c : scheme)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (scheme != "http" && scheme != "https")
            return false;
        next.secure = scheme == "https";
        rest = rest.substr(colon + 1);
        if (rest.compare(0, 2, "//") != 0)
            return false;
        next.port = 0; // the scheme's own unless the URL names one
    }
    if (rest.compare(0, 2, "//") == 0) {
        const size_t end = rest.find_first_of("/?#", 2);
        const std::string authority = rest.substr(2, end == std::string::npos ? end : end - 2);
        rest = end == std::string::npos ? "/" : rest.substr(end);
        if (authority.empty() || authority.find('@') != std::string::npos)
            return false;
        // An IPv6 literal keeps its colons inside the brackets.
        const size_t close = authority.rfind(']');
        const size_t portAt = authority.rfind(':');
        next.host = authority;
        next.port = 0;
        if (portAt != std::string::npos && (close == std::string::npos || portAt > close)) {
            const std::string digits = authority.substr(portAt + 1);
            if (digits.empty() || digits.size() > 5 || !AllDigits(digits) ||
                std::stoul(digits) == 0 || std::stoul(digits) > 65535)
                return false;
            next.host = authority.substr(0, portAt);
            next.port = static_cast<unsigned short>(std::stoul(digits));
        }
        if (next.host.empty())
            return false;
        if (!next.port)
            next.port = next.secure ? 443 : 80;
        if (rest[0] != '/')
            rest = "/" + rest;
    } else if (rest.empty() || rest[0] != '/') {
        // Beside the answering path: its folder, without its query.
        const std::string base = from.path.substr(0, from.path.find('?'));
        rest = base.substr(0, base.rfind('/') + 1) + rest;
        if (rest[0] != '/')
            rest = "/" + rest;
    }
    next.path = rest.substr(0, rest.find('#'));
    to = next;
    return true;
}
