#include "VersionList.h"

#include <cstring>

namespace versionlist {
namespace {

const char kWhiteSpace[] = " \t\r\n\v\f";

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
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
    record.updateOption = fields.size() >= 3 ? fields[2] : std::string();
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

} // namespace versionlist
