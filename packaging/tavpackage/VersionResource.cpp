#include "VersionResource.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

uint32_t ReadU32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

// The fixed record follows the block's UTF-16 key "VS_VERSION_INFO" at the
// next 4-byte boundary of the block; the signature makes a stray match of
// the key anywhere else in the file harmless.
bool FileVersion(const std::string& path, std::string& version, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data;
    if (in)
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (data.empty()) {
        error = path + ": cannot be read";
        return false;
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
        version = std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
                  std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
        return true;
    }
    error = path + ": no version resource";
    return false;
}
