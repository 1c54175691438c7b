#include "NetText.h"

#include <cctype>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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
