// Block maps: the content-defined cut and the map's text.
#include "BlockMap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

using namespace blockmap;

// A stand-in digest (four FNV-1a hashes as 64 hex digits): the cut, not the
// SHA-256, is under test here.
class FnvDigest : public ChunkDigest {
public:
    void Update(const unsigned char* data, size_t size) override {
        for (size_t i = 0; i < size; ++i)
            for (auto& h : m_hash)
                h = (h ^ data[i]) * 0x100000001B3ULL;
    }
    std::string Finish() override {
        char text[65];
        std::snprintf(text, sizeof(text), "%016llx%016llx%016llx%016llx", m_hash[0], m_hash[1],
                      m_hash[2], m_hash[3]);
        Reset();
        return text;
    }

private:
    void Reset() {
        for (size_t i = 0; i < 4; ++i)
            m_hash[i] = 0xCBF29CE484222325ULL + i;
    }
    unsigned long long m_hash[4] = {0xCBF29CE484222325ULL, 0xCBF29CE484222326ULL,
                                    0xCBF29CE484222327ULL, 0xCBF29CE484222328ULL};
};

std::string Noise(size_t size, unsigned long long seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        c = static_cast<char>(seed >> 32);
    }
    return bytes;
}

// The map of the bytes, fed in pieces of the given size (0: at once).
BlockMap MapOf(const std::string& bytes, size_t piece = 0) {
    FnvDigest digest;
    MapBuilder builder(digest);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t at = 0; at < bytes.size();) {
        const size_t n = piece == 0 ? bytes.size() : std::min(piece + at % 3, bytes.size() - at);
        builder.Add(data + at, n);
        at += n;
    }
    BlockMap map;
    EXPECT_TRUE(builder.Finish(map));
    return map;
}

// Bytes of the new map's chunks that the old map has no chunk for.
size_t NewBytes(const BlockMap& before, const BlockMap& after) {
    std::set<std::string> known;
    for (const Chunk& c : before.chunks)
        known.insert(c.sha256);
    size_t bytes = 0;
    for (const Chunk& c : after.chunks)
        bytes += known.count(c.sha256) ? 0 : c.length;
    return bytes;
}

// Faults: an insertion or a change moving every chunk after it (a cut by
// position, not by content), the cut depending on how the stream was handed
// over (state lost between pieces), chunks outside the bounds, the maximum
// not forced (uniform bytes), an average far from the one the rule names.
TEST(BlockMapCut, AnEditMovesOnlyTheChunksAroundIt) {
    const std::string file = Noise(4 << 20, 0x1234567);
    const BlockMap map = MapOf(file);
    EXPECT_EQ(MapText(map), MapText(MapOf(file, 4093)));
    ASSERT_GT(map.chunks.size(), 1u);
    unsigned long long offset = 0;
    for (const Chunk& c : map.chunks) {
        EXPECT_EQ(offset, c.offset);
        EXPECT_LE(c.length, kMaxChunk);
        if (&c != &map.chunks.back()) {
            EXPECT_GE(c.length, kMinChunk);
        }
        offset += c.length;
    }
    EXPECT_EQ(file.size(), offset);
    const double average = static_cast<double>(file.size()) / map.chunks.size();
    EXPECT_GT(average, 48 * 1024.0);
    EXPECT_LT(average, 80 * 1024.0);

    std::string edited = file;
    edited.insert(2 << 20, Noise(100000, 99));
    for (size_t i = 0; i < 300; ++i)
        edited[edited.size() - 70000 + i] ^= 0x5A;
    const size_t changed = NewBytes(map, MapOf(edited));
    EXPECT_GE(changed, 100300u);
    EXPECT_LE(changed, 100300u + 4 * kMaxChunk);
    EXPECT_LT(changed, edited.size() / 8);

    // One byte fed at a time across a cut, and uniform bytes cut at the maximum.
    const std::string part = file.substr(0, 600000);
    EXPECT_EQ(MapText(MapOf(part)), MapText(MapOf(part, 1)));
    const BlockMap zeros = MapOf(std::string(kMaxChunk * 2 + 5, '\0'));
    ASSERT_EQ(3u, zeros.chunks.size());
    EXPECT_EQ(kMaxChunk, zeros.chunks[0].length);
    EXPECT_EQ(5u, zeros.chunks[2].length);
    EXPECT_TRUE(MapOf("").chunks.empty());
}

// Faults: a map the writer wrote refused, or anything the cut rule cannot
// have produced taken: another format or rule, gaps, overlaps, lengths out of
// bounds, a size the chunks do not sum to, digests in upper case or short,
// numbers with leading zeros or signs, other line ends, trailing bytes, more
// chunks or bytes than the bounds.
TEST(BlockMapText, OnlyAMapTheCutCanProduceIsRead) {
    const BlockMap map = MapOf(Noise(300000, 7));
    const std::string text = MapText(map);
    BlockMap parsed;
    std::string reason;
    ASSERT_TRUE(ParseMap(text, parsed, reason)) << reason;
    EXPECT_EQ(text, MapText(parsed));
    ASSERT_TRUE(ParseMap(MapText(BlockMap()), parsed, reason)) << reason;
    EXPECT_TRUE(parsed.chunks.empty());

    const std::string d(64, 'a');
    const std::string head = std::string(kHeaderPrefix);
    auto two = [&](const std::string& first, const std::string& second, const char* size) {
        return head + size + " chunks=2\n" + first + "\n" + second + "\n";
    };
    const std::string good = two("0 16384 " + d, "16384 1 " + d, "16385");
    EXPECT_TRUE(ParseMap(good, parsed, reason)) << reason;
    const std::string bad[] = {
        two("0 16384 " + d, "16384 1 " + d, "16386"),
        two("0 16384 " + d, "16385 1 " + d, "16386"),
        two("0 16384 " + d, "16383 2 " + d, "16385"),
        two("0 16383 " + d, "16383 2 " + d, "16385"),
        two("0 262145 " + d, "262145 1 " + d, "262146"),
        two("0 16384 " + d, "16384 0 " + d, "16384"),
        two("0 16384 " + std::string(64, 'A'), "16384 1 " + d, "16385"),
        two("0 16384 " + d.substr(1), "16384 1 " + d, "16385"),
        two("0 016384 " + d, "16384 1 " + d, "16385"),
        two("0 +16384 " + d, "16384 1 " + d, "16385"),
        two("0 16384 " + d, "16384 1 " + d, "016385"),
        two("0 16384 " + d, "16384 1 " + d + "\r", "16385"),
        good + "\n",
        good.substr(0, good.size() - 1),
        head + "16385 chunks=3\n0 16384 " + d + "\n16384 1 " + d + "\n",
        head + "0 chunks=1\n",
        head + "1 chunks=0\n",
        head + "17179869185 chunks=65537\n",
        "tav-blockmap 2" + good.substr(14),
        "tav-blockmap 1 gear min=8192" + good.substr(28),
        text + std::string(kMaxMapBytes, ' '),
        "",
    };
    for (const std::string& b : bad)
        EXPECT_FALSE(ParseMap(b, parsed, reason)) << b;
}

} // namespace
