#include "VersionBlock.h"

#include <cstdio>
#include <cstring>

namespace versionblock {

namespace {

// A length above its limit means the block is damaged: the walk ends there.
constexpr size_t kRootLimit = 50000;
constexpr size_t kChildLimit = 40000;
constexpr size_t kTableLimit = 30000;
constexpr size_t kEntryLimit = 10000; // strings and variables

constexpr int kMaxChildren = 100;
constexpr int kMaxTables = 200;
constexpr int kMaxStrings = 500;
constexpr int kMaxVariables = 100;
constexpr int kMaxPairs = 100;

size_t Align(size_t pos) {
    return (pos + 3) & ~size_t(3);
}

// Language in the low half, code page in the high half, as stored.
uint32_t EntryAt(const unsigned char* entries, size_t i) {
    const unsigned char* e = entries + 4 * i;
    return uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 | uint32_t(e[3]) << 24;
}

class Reader {
public:
    Reader(const unsigned char* data, size_t size, NarrowFn narrow)
        : m_data(data), m_size(size), m_narrow(narrow) {}

    bool Word(size_t pos, uint16_t& word) const {
        if (pos >= m_size || m_size - pos < 2)
            return false;
        word = static_cast<uint16_t>(m_data[pos] | (m_data[pos + 1] << 8));
        return true;
    }

    // The root's key text decides the layout for the whole block.
    bool DecideLayout() {
        if (m_size < 7)
            return false;
        m_wide = m_data[6] == 'V';
        m_header = m_wide ? 6 : 4;
        return true;
    }

    // Zero-terminated text at pos (UTF-16 in the 32-bit layout); end is the
    // position after its terminator. False when the terminator is not inside
    // the data.
    bool Text(size_t pos, std::string& text, size_t& end) const {
        if (m_wide) {
            std::u16string units;
            for (size_t p = pos;; p += 2) {
                uint16_t unit;
                if (!Word(p, unit))
                    return false;
                if (unit == 0) {
                    end = p + 2;
                    break;
                }
                units.push_back(static_cast<char16_t>(unit));
            }
            text = units.empty() ? std::string() : m_narrow(units.c_str());
            return true;
        }
        if (pos >= m_size)
            return false;
        const void* zero = std::memchr(m_data + pos, 0, m_size - pos);
        if (!zero)
            return false;
        end = static_cast<size_t>(static_cast<const unsigned char*>(zero) - m_data) + 1;
        text.assign(reinterpret_cast<const char*>(m_data + pos), end - pos - 1);
        return true;
    }

    // A node's key; after is the position after its terminator.
    bool Key(size_t node, std::string& key, size_t& after) const {
        return Text(node + m_header, key, after);
    }

private:
    const unsigned char* m_data;
    size_t m_size;
    NarrowFn m_narrow;
    bool m_wide = true;
    size_t m_header = 6;
};

void Append(std::vector<std::string>* list, std::string text) {
    if (list)
        list->push_back(std::move(text));
}

enum class Next { Go, Stop };

Next StringTable(const Reader& block, size_t& pos, bool firstTableOnly, const Lists& lists,
                 std::string& tableKey) {
    uint16_t length;
    if (!block.Word(pos, length) || length > kTableLimit)
        return Next::Stop;
    size_t end = pos + length;
    std::string key;
    size_t after;
    if (!block.Key(pos, key, after))
        return Next::Stop;
    tableKey = UpperCase(key);
    if (firstTableOnly)
        return Next::Stop;
    pos = Align(after);

    for (int count = 0; pos < end; ++count) {
        if (count == kMaxStrings) {
            pos = Align(end);
            break;
        }
        uint16_t stringLength;
        if (!block.Word(pos, stringLength) || stringLength > kEntryLimit)
            return Next::Stop;
        size_t stringEnd = pos + stringLength;
        std::string name;
        if (!block.Key(pos, name, after))
            return Next::Stop;
        size_t valuePos = Align(after);
        std::string value;
        if (valuePos < stringEnd) {
            size_t valueEnd;
            if (!block.Text(valuePos, value, valueEnd))
                return Next::Stop;
            pos = Align(stringEnd);
        } else {
            pos = valuePos;
        }
        Append(lists.names, tableKey + "|" + name);
        Append(lists.values, std::move(value));
    }
    return Next::Go;
}

Next VarFileInfo(const Reader& block, size_t& pos, size_t childEnd, const Lists& lists) {
    for (int count = 0; pos < childEnd; ++count) {
        if (count == kMaxVariables) {
            pos = Align(childEnd);
            break;
        }
        uint16_t length;
        if (!block.Word(pos, length) || length > kEntryLimit)
            return Next::Stop;
        size_t end = pos + length;
        std::string key;
        size_t after;
        if (!block.Key(pos, key, after))
            return Next::Stop;
        if (key != "Translation") {
            // Nothing else in this child is read; the next child starts
            // after it.
            pos = Align(childEnd);
            break;
        }
        pos = Align(after);
        for (int pairs = 0; pos < end && pairs < kMaxPairs; ++pairs, pos += 4) {
            uint16_t language, codePage;
            if (!block.Word(pos, language) || !block.Word(pos + 2, codePage))
                return Next::Stop;
            Append(lists.translations, TranslationKey(language, codePage));
        }
        if (pos < end)
            pos = Align(end);
    }
    return Next::Go;
}

} // namespace

std::string Walk(const unsigned char* data, size_t size, bool firstTableOnly, NarrowFn narrow,
                 const Lists& lists) {
    std::string tableKey;
    if (!data)
        return tableKey;
    Reader block(data, size, narrow);
    uint16_t rootLength, rootValueLength;
    if (!block.Word(0, rootLength) || rootLength > kRootLimit || !block.DecideLayout() ||
        !block.Word(2, rootValueLength))
        return tableKey;
    std::string key;
    size_t after;
    if (!block.Key(0, key, after) || key != "VS_VERSION_INFO")
        return tableKey;
    size_t pos = Align(Align(after) + rootValueLength);

    for (int children = 0; pos < rootLength && children < kMaxChildren; ++children) {
        uint16_t length;
        if (!block.Word(pos, length) || length > kChildLimit)
            return tableKey;
        size_t childEnd = pos + length;
        if (!block.Key(pos, key, after))
            return tableKey;
        pos = Align(after);
        if (key == "StringFileInfo") {
            for (int tables = 0; pos < childEnd; ++tables) {
                if (tables == kMaxTables) {
                    pos = Align(childEnd);
                    break;
                }
                if (StringTable(block, pos, firstTableOnly, lists, tableKey) == Next::Stop)
                    return tableKey;
            }
        } else if (key == "VarFileInfo") {
            if (VarFileInfo(block, pos, childEnd, lists) == Next::Stop)
                return tableKey;
        } else {
            pos = Align(childEnd);
        }
    }
    return tableKey;
}

bool FindTranslation(const unsigned char* entries, size_t size, uint16_t language,
                     bool allowPrimary, uint32_t* entry) {
    if (!entries)
        return false;
    size_t count = size / 4;
    auto languageAt = [&](size_t i) {
        return static_cast<uint16_t>(entries[4 * i] | (entries[4 * i + 1] << 8));
    };
    auto take = [&](size_t i) {
        *entry = EntryAt(entries, i);
        return true;
    };
    for (size_t i = 0; i < count; ++i)
        if (languageAt(i) == language)
            return take(i);
    if (allowPrimary)
        for (size_t i = 0; i < count; ++i)
            if ((languageAt(i) & 0xFF) == (language & 0xFF))
                return take(i);
    return false;
}

uint32_t ChooseTranslation(const unsigned char* entries, size_t size, uint16_t userLanguage) {
    const uint16_t kNeutral = 0x00, kEnglish = 0x09;
    uint32_t entry;
    if (FindTranslation(entries, size, userLanguage, false, &entry) ||
        FindTranslation(entries, size, userLanguage, true, &entry) ||
        FindTranslation(entries, size, kNeutral, true, &entry) ||
        FindTranslation(entries, size, kEnglish, true, &entry))
        return entry;
    return entries && size >= 4 ? EntryAt(entries, 0) : 0;
}

std::string TranslationKey(uint16_t language, uint16_t codePage) {
    char key[16];
    std::snprintf(key, sizeof key, "%04X%04X", language, codePage);
    return key;
}

std::string UpperCase(std::string text) {
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x81 && c <= 0xFE)
            ++i; // lead byte: skip its trail byte
        else if (c >= 'a' && c <= 'z')
            text[i] = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

} // namespace versionblock
