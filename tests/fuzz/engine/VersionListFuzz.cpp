// The version list comes from the server and the signing key from the
// configuration: any bytes must go through the line reader, the serial, list
// path and expiry readers and the key's base64 decoder without a fault, and
// every record must keep what a list line can give.

#include "Encoding.h"
#include "VersionList.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
class Owner : public CTraceBase {};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    Owner owner;
    for (size_t start = 0; start < bytes.size();) {
        // Chunks as the reader hands them over: through the line end, at most 1023 bytes.
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string line = bytes.substr(start, std::min<size_t>(end - start, 1023));
        start += line.size();
        ModuleRecord record;
        if (versionlist::ParseLine(owner, line, record) &&
            (record.localFile.empty() || record.remoteFile.empty() ||
             versionlist::IsHashField(record.updateOption) ||
             versionlist::IsSizeField(record.updateOption) || record.size < -1))
            std::abort();
    }
    unsigned long long serial = 0;
    versionlist::FindSerial(bytes, serial);
    std::string expires;
    long long expiry = 0;
    if (versionlist::FindComment(bytes, "expires", expires))
        versionlist::ParseUtcTime(expires, expiry);
    std::string der;
    encoding::DecodeBase64(bytes, der);
    return 0;
}
