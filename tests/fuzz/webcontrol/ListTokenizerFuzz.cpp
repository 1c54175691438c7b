// The first input byte says how many of the following bytes form the
// delimiter set; the rest is the text. Tokens must be non-empty, hold no
// delimiter and together give the text without its delimiters.

#include "ClientPayload.h"
#include "ListTokenizer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(data[0] % 8, size - 1);
    const std::string delimiters(reinterpret_cast<const char*>(data + 1), n);
    const std::string text(reinterpret_cast<const char*>(data + 1 + n), size - 1 - n);

    CListTokenizer list(text, delimiters);
    std::string joined, token;
    while (list.NextToken(token)) {
        if (token.empty())
            std::abort();
        for (unsigned char b : token)
            if (list.IsDelimiter(b))
                std::abort();
        joined += token;
    }
    std::string stripped;
    for (unsigned char b : text)
        if (delimiters.find(static_cast<char>(b)) == std::string::npos)
            stripped += static_cast<char>(b);
    if (joined != stripped || !token.empty())
        std::abort();

    // The room payload of a zero-free list: framed, and one record mark per
    // user unless a list byte is itself a record mark.
    const std::string users = text.substr(0, text.find('\0'));
    const std::string payload = BuildMeetingRoomPayload(users.c_str());
    if (payload.size() < 3 || payload[0] != SEP_BEGIN || payload[payload.size() - 2] != SEP_END ||
        payload.back() != '\0')
        std::abort();
    if (users.find(SEP_RECORD) == std::string::npos) {
        CListTokenizer commas(users, ",");
        std::size_t tokens = 0;
        while (commas.NextToken(token))
            ++tokens;
        const auto records = std::count(payload.begin(), payload.end(), SEP_RECORD);
        if (static_cast<std::size_t>(records) != (tokens + 1) / 2)
            std::abort();
    }
    return 0;
}
