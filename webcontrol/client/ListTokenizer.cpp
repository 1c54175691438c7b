#include "ListTokenizer.h"

#include <algorithm>
#include <limits>

CListTokenizer::CListTokenizer(const std::string& text, const std::string& delimiters)
    : m_strText(text) {
    for (unsigned char b : delimiters)
        m_delimiters[b / 32] |= 1u << (b % 32);
    // The position is 32-bit; a longer text is read up to what it can reach.
    m_nEnd = static_cast<std::int32_t>(std::min<std::size_t>(
        m_strText.size(), static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

bool CListTokenizer::NextToken(std::string& out) {
    out.clear();
    auto at = [this](std::int32_t pos) {
        return static_cast<unsigned char>(m_strText[static_cast<std::size_t>(pos)]);
    };
    while (m_nPosition < m_nEnd && IsDelimiter(at(m_nPosition)))
        ++m_nPosition;
    if (m_nPosition >= m_nEnd)
        return false;
    const std::int32_t start = m_nPosition;
    while (m_nPosition < m_nEnd && !IsDelimiter(at(m_nPosition)))
        ++m_nPosition;
    out.assign(m_strText, static_cast<std::size_t>(start),
               static_cast<std::size_t>(m_nPosition - start));
    return true;
}
