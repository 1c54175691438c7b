#include "VersionList.h"

#include <cstring>

namespace versionlist {
namespace {

const char kWhiteSpace[] = " \t\r\n\v\f";
const char kHashPrefix[] = "sha256=";
const size_t kHashPrefixSize = sizeof(kHashPrefix) - 1;
const char kSizePrefix[] = "size=";
const size_t kSizePrefixSize = sizeof(kSizePrefix) - 1;
const char kBlocksPrefix[] = "blocks=";
const size_t kBlocksPrefixSize = sizeof(kBlocksPrefix) - 1;
const char kBlocksHashPrefix[] = "blocks-sha256=";
const size_t kBlocksHashPrefixSize = sizeof(kBlocksHashPrefix) - 1;
// Fifteen digits stay far below the largest signed 64-bit number.
const size_t kMaxSizeDigits = 15;

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

int SplitFields(CTraceBase& owner, char delimiter, std::string text,
                std::vector<std::string>& fields) {
    text = Trimmed(text);
    if (text.empty() || text.back() != delimiter)
        text += delimiter;

    const size_t length = text.size();
    size_t pos = text.find(delimiter);
    size_t start = 0;
    int count = 0;
    // A text that begins with the delimiter yields nothing: the loop wants a
    // delimiter past position 0.
    while (pos > 0 && pos < length) {
        std::string token = Trimmed(text.substr(start, pos - start));
        if (!token.empty()) {
            owner.Trace(TRACE_DETAIL, "SplitList(%s) :  %s --> ADD", text.c_str(), token.c_str());
            fields.push_back(token);
            ++count;
        } else {
            owner.Trace(TRACE_DETAIL, "SplitList(%s) :  %s --> Invalid Length", text.c_str(),
                        token.c_str());
        }
        start = pos + 1;
        if (start >= length)
            break;
        pos = text.find(delimiter, start);
    }
    return count;
}

bool ReadLine(FILE* file, std::string& line) {
    char buffer[kLineBufferSize];
    if (!std::fgets(buffer, sizeof(buffer), file))
        return false;
    // An embedded zero byte ends the text, as it would for any C string.
    line.assign(buffer, std::strlen(buffer));
    return true;
}

bool ReadTextLine(const std::string& bytes, size_t& position, std::string& line) {
    line.clear();
    while (position < bytes.size() && line.size() < kLineBufferSize - 1) {
        char c = bytes[position];
        if (c == '\x1A') {
            position = bytes.size();
            break;
        }
        ++position;
        if (c == '\r' && position < bytes.size() && bytes[position] == '\n')
            c = bytes[position++];
        line += c;
        if (c == '\n')
            break;
    }
    if (line.empty())
        return false;
    // An embedded zero byte ends the text, as it does for a line read from a file.
    line.resize(std::strlen(line.c_str()));
    return true;
}

bool IsSkippedLine(const std::string& line) {
    return line.size() < 2 || line[0] == ';';
}

bool ParseLine(CTraceBase& owner, const std::string& line, ModuleRecord& record) {
    if (IsSkippedLine(line))
        return false;
    std::vector<std::string> fields;
    if (SplitFields(owner, '|', line, fields) < 2)
        return false;
    record.localFile = fields[0];
    record.remoteFile = fields[1];
    record.updateOption.clear();
    record.sha256.clear();
    record.size = -1;
    record.blocks.clear();
    record.blocksSha256.clear();
    for (size_t i = 2; i < fields.size(); ++i) {
        if (IsHashField(fields[i])) {
            if (record.sha256.empty())
                record.sha256 = Lowered(fields[i].substr(kHashPrefixSize));
        } else if (IsSizeField(fields[i])) {
            if (record.size < 0)
                record.size = std::stoll(fields[i].substr(kSizePrefixSize));
        } else if (i == 2) {
            record.updateOption = fields[i];
        } else if (IsBlocksField(fields[i])) {
            if (record.blocks.empty())
                record.blocks = fields[i].substr(kBlocksPrefixSize);
        } else if (IsBlocksHashField(fields[i])) {
            if (record.blocksSha256.empty())
                record.blocksSha256 = Lowered(fields[i].substr(kBlocksHashPrefixSize));
        }
    }
    record.download = 0;
    return true;
}

bool HasOption(const std::string& updateOption, char letter, bool (*isLeadByte)(unsigned char)) {
    for (size_t i = 0; i < updateOption.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(updateOption[i]);
        if (isLeadByte(c))
            ++i; // and its trail byte
        else if (c == static_cast<unsigned char>(letter))
            return true;
    }
    return false;
}

bool IsHashField(const std::string& field) {
    if (field.size() != kHashPrefixSize + 64 || field.compare(0, kHashPrefixSize, kHashPrefix) != 0)
        return false;
    return field.find_first_not_of("0123456789abcdefABCDEF", kHashPrefixSize) == std::string::npos;
}

bool IsSizeField(const std::string& field) {
    if (field.size() <= kSizePrefixSize || field.size() > kSizePrefixSize + kMaxSizeDigits ||
        field.compare(0, kSizePrefixSize, kSizePrefix) != 0)
        return false;
    return field.find_first_not_of("0123456789", kSizePrefixSize) == std::string::npos;
}

bool IsBlocksField(const std::string& field) {
    return field.size() > kBlocksPrefixSize &&
           field.compare(0, kBlocksPrefixSize, kBlocksPrefix) == 0;
}

bool IsBlocksHashField(const std::string& field) {
    return field.size() == kBlocksHashPrefixSize + 64 &&
           field.compare(0, kBlocksHashPrefixSize, kBlocksHashPrefix) == 0 &&
           field.find_first_not_of("0123456789abcdefABCDEF", kBlocksHashPrefixSize) ==
               std::string::npos;
}

bool FindComment(const std::string& listBytes, const std::string& name, std::string& value) {
    const std::string prefix = ";" + name + "=";
    for (size_t start = 0; start < listBytes.size();) {
        size_t end = listBytes.find('\n', start);
        if (end == std::string::npos)
            end = listBytes.size();
        if (listBytes.compare(start, prefix.size(), prefix) == 0) {
            value = Trimmed(listBytes.substr(start + prefix.size(), end - start - prefix.size()));
            return true;
        }
        start = end + 1;
    }
    return false;
}

SerialResult FindSerial(const std::string& listBytes, unsigned long long& serial) {
    std::string number;
    if (!FindComment(listBytes, "serial", number))
        return SERIAL_MISSING;
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        return SERIAL_INVALID;
    unsigned long long value = 0;
    for (char digit : number) {
        unsigned d = static_cast<unsigned>(digit - '0');
        if (value > (~0ULL - d) / 10)
            return SERIAL_INVALID;
        value = value * 10 + d;
    }
    serial = value;
    return SERIAL_FOUND;
}

bool ParseUtcTime(const std::string& text, long long& seconds) {
    // Digits where the pattern has a 9, the separators as they stand.
    const char pattern[] = "9999-99-99T99:99:99Z";
    if (text.size() != sizeof(pattern) - 1)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i])
            return false;
    }
    auto number = [&](size_t at, size_t count) { return std::stoi(text.substr(at, count)); };
    const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthDays[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    long long days = 0;
    for (int y = 1970; y < year; ++y)
        days += ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0) ? 366 : 365;
    for (int m = 1; m < month; ++m)
        days += monthDays[m - 1];
    days += day - 1;
    seconds = ((days * 24 + hour) * 60 + minute) * 60 + second;
    return true;
}

std::string TrimmedBlanks(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace versionlist
