// A block map comes from the server: any bytes must go through the parser
// without a fault, and a map it takes must be one the writer writes, byte
// for byte, with chunks that cover its size.

#include "BlockMap.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    // Inputs led by a zero byte get the header, so the search reaches the chunk lines.
    if (!text.empty() && text[0] == '\0')
        text = blockmap::kHeaderPrefix + text.substr(1);
    blockmap::BlockMap map;
    std::string reason;
    if (!blockmap::ParseMap(text, map, reason))
        return 0;
    unsigned long long covered = 0;
    for (const blockmap::Chunk& c : map.chunks)
        covered += c.length;
    if (blockmap::MapText(map) != text || covered != map.size ||
        map.chunks.size() > blockmap::kMaxChunks)
        std::abort();
    return 0;
}
