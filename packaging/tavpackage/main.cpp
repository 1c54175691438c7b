// The packaging script's helper, built natively:
//   tavpackage check-sites ENTRY...   every entry one the control accepts?
//   tavpackage version FILE           the file version of a Windows binary
// Site entries go through the control's own rule parser, so the package
// never writes an entry the control would ignore.

#include "SiteRule.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int CheckSites(int count, char** entries) {
    for (int i = 0; i < count; ++i) {
        SiteRule rule;
        if (!ParseSiteRule(entries[i], &rule)) {
            std::fprintf(stderr,
                         "allowed site \"%s\": not an entry the control accepts "
                         "(http:// or https://, a host name, an optional :port, "
                         "an optional leading \"*.\" label over a domain of two labels or more)\n",
                         entries[i]);
            return 1;
        }
    }
    return 0;
}

uint32_t ReadU32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The fixed record follows the block's UTF-16 key "VS_VERSION_INFO" at the
// next 4-byte boundary of the block; the signature makes a stray match of
// the key anywhere else in the file harmless.
int PrintVersion(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data;
    if (in)
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (data.empty()) {
        std::fprintf(stderr, "%s: cannot be read\n", path);
        return 1;
    }
    const char key[] = "VS_VERSION_INFO";
    std::vector<unsigned char> wide;
    for (const char* c = key; c <= key + std::strlen(key); ++c) {
        wide.push_back(static_cast<unsigned char>(*c));
        wide.push_back(0);
    }
    const size_t header = 6; // wLength, wValueLength, wType
    for (size_t at = header; at + wide.size() <= data.size(); ++at) {
        if (std::memcmp(&data[at], wide.data(), wide.size()) != 0)
            continue;
        const size_t block = at - header;
        size_t fixed = at + wide.size();
        fixed = block + ((fixed - block + 3) & ~size_t(3));
        if (fixed + 16 > data.size() || ReadU32(&data[fixed]) != 0xFEEF04BD)
            continue;
        const uint32_t ms = ReadU32(&data[fixed + 8]);
        const uint32_t ls = ReadU32(&data[fixed + 12]);
        std::printf("%u.%u.%u.%u\n", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
        return 0;
    }
    std::fprintf(stderr, "%s: no version resource\n", path);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "check-sites") == 0)
        return CheckSites(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "version") == 0)
        return PrintVersion(argv[2]);
    std::fprintf(stderr, "usage: tavpackage check-sites ENTRY... | version FILE\n");
    return 2;
}
