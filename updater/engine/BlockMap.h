#pragma once
// Block maps: a file cut into content-defined chunks by a gear rolling hash,
// so bytes inserted or changed in the middle move only the chunks around
// them, and the text that lists each chunk's offset, length and SHA-256.
// Pure logic: each side brings its own SHA-256 (the publisher OpenSSL, the
// updater CryptoAPI).

#include <cstddef>
#include <string>
#include <vector>

namespace blockmap {

const size_t kMinChunk = 16 * 1024;
const size_t kAverageChunk = 64 * 1024;
const size_t kMaxChunk = 256 * 1024;
// A map lists at most this many chunks (a module of 1 GiB cut at the
// minimum, 4 GiB on average) and is at most this many bytes long.
const size_t kMaxChunks = 65536;
const size_t kMaxMapBytes = 6 * 1024 * 1024;

// The first line of a map up to its size: the format and the cut rule.
extern const char kHeaderPrefix[];

// The gear table: entry i is the (i + 1)-th output of splitmix64 from this seed.
const unsigned long long kGearSeed = 0x7461762D626C6B31ULL; // "tav-blk1"
unsigned long long GearEntry(unsigned char byte);

// Cuts a stream of bytes into chunks, fed in pieces of any size.
class Chunker {
public:
    // How many of the size bytes belong to the chunk being cut: all of them,
    // or fewer when it ends among them (cut is then true; the rest start the
    // next chunk).
    size_t Scan(const unsigned char* data, size_t size, bool& cut);
    // Bytes of the chunk being cut so far.
    size_t Pending() const { return m_length; }

private:
    unsigned long long m_hash = 0;
    size_t m_length = 0;
};

struct Chunk {
    unsigned long long offset;
    size_t length;
    std::string sha256; // lower-case hex
};

struct BlockMap {
    unsigned long long size = 0;
    std::vector<Chunk> chunks;
};

// SHA-256 of the bytes given since the last Finish, as lower-case hex (empty
// on failure); Finish starts the next digest.
class ChunkDigest {
public:
    virtual void Update(const unsigned char* data, size_t size) = 0;
    virtual std::string Finish() = 0;

protected:
    ~ChunkDigest() = default;
};

// The map of a stream: bytes added in pieces, cut and digested as they come,
// so a large file is never held whole. Without a digest only cut: the
// chunks come without their SHA-256, for a caller that takes them apart.
class MapBuilder {
public:
    explicit MapBuilder(ChunkDigest& digest) : m_digest(&digest) {}
    MapBuilder() = default;
    void Add(const unsigned char* data, size_t size);
    // A digest failed, or the stream needs more than kMaxChunks chunks: no
    // map comes of it, whatever is added.
    bool Failed() const { return m_failed; }
    // The map of everything added; false when Failed.
    bool Finish(BlockMap& map);

private:
    void EndChunk(size_t length);

    ChunkDigest* m_digest = nullptr;
    Chunker m_chunker;
    BlockMap m_map;
    bool m_failed = false;
};

// The map as text: the header line with the size and the chunk count, then
// one "offset length sha256" line a chunk, each ended by a line feed.
std::string MapText(const BlockMap& map);

// Reads a map as MapText writes it and nothing else: the header of this
// format and cut rule, chunks contiguous from 0 whose lengths keep the cut
// rule's bounds (the last may be shorter) and sum to the size, lower-case
// digests, numbers without leading zeros, at most kMaxChunks chunks and
// kMaxMapBytes bytes. False, with the reason, for anything else.
bool ParseMap(const std::string& text, BlockMap& map, std::string& reason);

} // namespace blockmap
