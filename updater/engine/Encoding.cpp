#include "Encoding.h"

namespace encoding {
namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

bool DecodeBase64(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.empty() || text.size() % 4 != 0)
        return false;
    size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=')
        ++padding;
    const size_t digits = text.size() - padding;
    bytes.reserve(digits * 3 / 4);
    unsigned int group = 0;
    for (size_t i = 0; i < digits; ++i) {
        int value = Base64Value(text[i]);
        if (value < 0)
            return false;
        group = (group << 6) | static_cast<unsigned int>(value);
        if (i % 4 == 3) {
            bytes += static_cast<char>(group >> 16);
            bytes += static_cast<char>(group >> 8);
            bytes += static_cast<char>(group);
            group = 0;
        }
    }
    // The last group before the padding: 3 digits give 2 bytes, 2 give 1.
    if (padding == 1) {
        bytes += static_cast<char>(group >> 10);
        bytes += static_cast<char>(group >> 2);
    } else if (padding == 2) {
        bytes += static_cast<char>(group >> 4);
    }
    return true;
}

std::string HexText(const void* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += kDigits[p[i] >> 4];
        text += kDigits[p[i] & 0x0f];
    }
    return text;
}

} // namespace encoding
