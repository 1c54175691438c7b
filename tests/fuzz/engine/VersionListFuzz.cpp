// Feeds arbitrary bytes to the version list reader, the list splitter, the
// serial finder and the key's base64 decoder, and checks what every accepted
// record, field and decoded value must look like.

#include "Encoding.h"
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

void CheckDigest(const std::string& sha256) {
    if (!sha256.empty() &&
        (sha256.size() != 64 || sha256.find_first_not_of("0123456789abcdef") != std::string::npos))
        std::abort();
}

void CheckBase64(const std::string& text) {
    std::string bytes;
    if (!encoding::DecodeBase64(text, bytes))
        return;
    size_t padding = text.size() - text.find_last_not_of('=') - 1;
    if (text.size() % 4 != 0 || padding > 2 || bytes.size() != text.size() / 4 * 3 - padding)
        std::abort();
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
    CheckBase64(rest);

    std::string whole(reinterpret_cast<const char*>(data), size);
    unsigned long long serial = 0;
    if (versionlist::FindSerial(whole, serial) == versionlist::SERIAL_FOUND &&
        whole.find(";serial=") == std::string::npos)
        std::abort();
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
            if (versionlist::IsHashField(record.updateOption))
                std::abort();
            CheckDigest(record.sha256);
        }
    }
    std::fclose(file);
    return 0;
}
