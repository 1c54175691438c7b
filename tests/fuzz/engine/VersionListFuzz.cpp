// Feeds arbitrary bytes to the version list reader and the list splitter and
// checks what every accepted record and field must look like.

#include "TraceObserver.h"
#include "VersionList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Owner : public CTraceBase {};

// Formatting every trace text is part of what is fuzzed.
size_t g_traced = 0;
void CountTrace(const CTraceBase*, int, const char* text) {
    g_traced += std::strlen(text);
}

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void CheckField(const std::string& field, char delimiter) {
    if (field.empty() || field.find(delimiter) != std::string::npos ||
        IsWhiteSpace(field.front()) || IsWhiteSpace(field.back()))
        std::abort();
}

void CheckSplit(Owner& owner, char delimiter, const std::string& text) {
    std::vector<std::string> fields{"before"};
    int added = versionlist::SplitFields(owner, delimiter, text, fields);
    if (added < 0 || fields.size() != static_cast<size_t>(added) + 1 || fields[0] != "before")
        std::abort();
    for (size_t i = 1; i < fields.size(); ++i)
        CheckField(fields[i], delimiter);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetTraceObserver(&CountTrace);
    Owner owner;
    if (size == 0)
        return 0;

    // The first byte picks the delimiter for a direct split of the rest.
    std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    CheckSplit(owner, static_cast<char>(data[0]), rest);

    std::string whole(reinterpret_cast<const char*>(data), size);
    FILE* file = fmemopen(const_cast<char*>(whole.data()), whole.size(), "r");
    if (!file)
        return 0;
    std::string line;
    while (versionlist::ReadLine(file, line)) {
        if (line.size() >= versionlist::kLineBufferSize)
            std::abort();
        size_t end = line.find('\n');
        if (end != std::string::npos && end + 1 != line.size())
            std::abort();
        ModuleRecord record;
        if (versionlist::ParseLine(owner, line, record)) {
            if (versionlist::IsSkippedLine(line))
                std::abort();
            CheckField(record.localFile, '|');
            CheckField(record.remoteFile, '|');
            if (!record.updateOption.empty())
                CheckField(record.updateOption, '|');
        }
    }
    std::fclose(file);
    return 0;
}
