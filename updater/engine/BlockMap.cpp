#include "BlockMap.h"

#include <array>
#include <utility>

namespace blockmap {

const char kHeaderPrefix[] = "tav-blockmap 1 gear min=16384 avg=65536 max=262144 size=";

namespace {

// The hash of a byte sums gear entries shifted by their distance: it depends
// on the last 64 bytes only, so the rolling starts 64 bytes before the
// minimum and gives the same cuts as rolling over the whole chunk.
const size_t kWindow = 64;
// A cut once in 49,152 positions past the minimum: 16 KiB + 48 KiB on average.
const unsigned long long kCutBelow = 0x0001555555555555ULL; // 2^64 / 49152

constexpr std::array<unsigned long long, 256> GearTable() {
    std::array<unsigned long long, 256> table{};
    unsigned long long state = kGearSeed;
    for (size_t i = 0; i < table.size(); ++i) {
        state += 0x9E3779B97F4A7C15ULL;
        unsigned long long z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        table[i] = z ^ (z >> 31);
    }
    return table;
}

constexpr std::array<unsigned long long, 256> kGear = GearTable();

const size_t kMaxOffsetDigits = 15;
const size_t kMaxLengthDigits = 6;

bool IsLowerHexDigest(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A decimal number without sign or leading zero at text[at..], ended by end;
// at moves past the end character.
bool ReadNumber(const std::string& text, size_t& at, char end, size_t maxDigits,
                unsigned long long& value) {
    const size_t stop = text.find(end, at);
    if (stop == std::string::npos || stop == at || stop - at > maxDigits ||
        (text[at] == '0' && stop - at > 1))
        return false;
    value = 0;
    for (size_t i = at; i < stop; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    at = stop + 1;
    return true;
}

} // namespace

unsigned long long GearEntry(unsigned char byte) {
    return kGear[byte];
}

size_t Chunker::Scan(const unsigned char* data, size_t size, bool& cut) {
    cut = false;
    size_t i = 0;
    if (m_length < kMinChunk - kWindow) {
        i = kMinChunk - kWindow - m_length < size ? kMinChunk - kWindow - m_length : size;
        m_length += i;
    }
    for (; i < size; ++i) {
        m_hash = (m_hash << 1) + kGear[data[i]];
        ++m_length;
        if (m_length >= kMinChunk && (m_hash < kCutBelow || m_length == kMaxChunk)) {
            m_hash = 0;
            m_length = 0;
            cut = true;
            return i + 1;
        }
    }
    return size;
}

void MapBuilder::EndChunk(size_t length) {
    std::string digest = m_digest ? m_digest->Finish() : std::string();
    if ((m_digest && !IsLowerHexDigest(digest)) || m_map.chunks.size() >= kMaxChunks) {
        m_failed = true;
    } else if (!m_failed) {
        m_map.chunks.push_back({m_map.size, length, digest});
    }
    m_map.size += length;
}

void MapBuilder::Add(const unsigned char* data, size_t size) {
    while (size > 0) {
        const size_t before = m_chunker.Pending();
        bool cut = false;
        const size_t taken = m_chunker.Scan(data, size, cut);
        if (m_digest)
            m_digest->Update(data, taken);
        if (cut)
            EndChunk(before + taken);
        data += taken;
        size -= taken;
    }
}

bool MapBuilder::Finish(BlockMap& map) {
    if (m_chunker.Pending() > 0) {
        EndChunk(m_chunker.Pending());
        m_chunker = Chunker();
    }
    if (m_failed)
        return false;
    map = m_map;
    return true;
}

std::string MapText(const BlockMap& map) {
    std::string text = kHeaderPrefix + std::to_string(map.size) +
                       " chunks=" + std::to_string(map.chunks.size()) + "\n";
    for (const Chunk& c : map.chunks)
        text += std::to_string(c.offset) + " " + std::to_string(c.length) + " " + c.sha256 + "\n";
    return text;
}

bool ParseMap(const std::string& text, BlockMap& map, std::string& reason) {
    const std::string prefix = kHeaderPrefix;
    unsigned long long size = 0, count = 0;
    size_t at = prefix.size();
    if (text.size() > kMaxMapBytes) {
        reason = "longer than " + std::to_string(kMaxMapBytes) + " bytes";
        return false;
    }
    if (text.compare(0, prefix.size(), prefix) != 0 ||
        !ReadNumber(text, at, ' ', kMaxOffsetDigits, size) || text.compare(at, 7, "chunks=") != 0 ||
        !ReadNumber(text, at += 7, '\n', 6, count)) {
        reason = "not a block map of this format and cut rule";
        return false;
    }
    // Cut by the rule, the chunks are at least as many as the size needs at
    // the maximum length and at most as many as it allows at the minimum.
    if (count > kMaxChunks || size > count * kMaxChunk ||
        (count > 0 && size < (count - 1) * kMinChunk + 1)) {
        reason = "size " + std::to_string(size) + " cannot be cut into " + std::to_string(count) +
                 " chunks (at most " + std::to_string(kMaxChunks) + ")";
        return false;
    }
    BlockMap parsed;
    parsed.size = size;
    parsed.chunks.reserve(static_cast<size_t>(count));
    unsigned long long offset = 0;
    for (unsigned long long i = 0; i < count; ++i) {
        unsigned long long listed = 0, length = 0;
        const std::string line = "chunk line " + std::to_string(i + 1);
        if (!ReadNumber(text, at, ' ', kMaxOffsetDigits, listed) ||
            !ReadNumber(text, at, ' ', kMaxLengthDigits, length) || text.size() < at + 65 ||
            !IsLowerHexDigest(text.substr(at, 64)) || text[at + 64] != '\n') {
            reason = line + ": not \"offset length sha256\"";
            return false;
        }
        const bool last = i + 1 == count;
        if (listed != offset || length > kMaxChunk || length == 0 ||
            (!last && length < kMinChunk) || offset + length > size) {
            reason = line + ": offset " + std::to_string(listed) + " length " +
                     std::to_string(length) + " breaks the cut (next offset " +
                     std::to_string(offset) + ", size " + std::to_string(size) + ")";
            return false;
        }
        parsed.chunks.push_back({offset, static_cast<size_t>(length), text.substr(at, 64)});
        offset += length;
        at += 65;
    }
    if (offset != size || at != text.size()) {
        reason = offset != size ? "the chunks do not cover the size" : "bytes after the last chunk";
        return false;
    }
    map = std::move(parsed);
    return true;
}

} // namespace blockmap
