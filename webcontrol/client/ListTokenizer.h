#pragma once
// Splits the meeting-room user list into tokens. Empty tokens never appear:
// a run of delimiters counts as one, and leading or trailing ones are skipped.

#include <cstdint>
#include <string>

class CListTokenizer {
public:
    // Every byte of delimiters joins the set.
    CListTokenizer(const std::string& text, const std::string& delimiters);

    // The next token, or false with out empty when none is left.
    bool NextToken(std::string& out);
    bool IsDelimiter(unsigned char byte) const {
        return (m_delimiters[byte / 32] >> (byte % 32)) & 1u;
    }

private:
    std::string m_strText;
    // 256 bits: byte b is bit b % 32 of word b / 32.
    std::uint32_t m_delimiters[8] = {};
    std::int32_t m_nPosition = 0;
    std::int32_t m_nEnd = 0;
};
