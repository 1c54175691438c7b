#pragma once
// Hand-made version blocks: nodes are laid out as the resource compiler does
// (header, key, padding to 4, value, padding, children each at a multiple of
// 4), in the 32-bit (UTF-16) or the 16-bit (narrow) layout. Lengths can be
// overridden after the build to make damaged blocks.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct BlockNode {
    std::string key;
    std::vector<uint8_t> value;
    uint16_t valueLength = 0;
    std::vector<BlockNode> children;
    size_t offset = 0; // filled by Build

    BlockNode& Add(BlockNode child) {
        children.push_back(std::move(child));
        return children.back();
    }
};

inline BlockNode Node(std::string key) {
    return BlockNode{std::move(key), {}, 0, {}, 0};
}

// A string node: its value is the text with a terminator (UTF-16 when wide).
inline BlockNode StringNode(std::string name, const std::string& text, bool wide = true) {
    BlockNode n = Node(std::move(name));
    for (char c : text) {
        n.value.push_back(static_cast<uint8_t>(c));
        if (wide)
            n.value.push_back(0);
    }
    n.value.push_back(0);
    if (wide)
        n.value.push_back(0);
    n.valueLength = static_cast<uint16_t>(text.size() + 1);
    return n;
}

inline BlockNode TranslationNode(std::vector<std::pair<uint16_t, uint16_t>> pairs) {
    BlockNode n = Node("Translation");
    for (auto& p : pairs)
        for (uint16_t w : {p.first, p.second}) {
            n.value.push_back(static_cast<uint8_t>(w));
            n.value.push_back(static_cast<uint8_t>(w >> 8));
        }
    n.valueLength = static_cast<uint16_t>(n.value.size());
    return n;
}

// Root with a 52-byte fixed record whose first word marks it.
inline BlockNode RootNode() {
    BlockNode n = Node("VS_VERSION_INFO");
    n.value.assign(52, 0);
    n.value[0] = 0xBD;
    n.value[1] = 0x04;
    n.value[2] = 0xEF;
    n.value[3] = 0xFE;
    n.valueLength = 52;
    return n;
}

class BlockBuilder {
public:
    explicit BlockBuilder(bool wide = true) : m_wide(wide) {}

    std::vector<uint8_t> Build(BlockNode& root) {
        std::vector<uint8_t> out;
        Write(root, out);
        return out;
    }

    static void SetWord(std::vector<uint8_t>& block, size_t pos, uint16_t word) {
        block[pos] = static_cast<uint8_t>(word);
        block[pos + 1] = static_cast<uint8_t>(word >> 8);
    }

private:
    static void Pad(std::vector<uint8_t>& out) {
        while (out.size() % 4)
            out.push_back(0);
    }
    void Write(BlockNode& node, std::vector<uint8_t>& out) {
        node.offset = out.size();
        out.insert(out.end(), m_wide ? 6 : 4, 0);
        for (char c : node.key) {
            out.push_back(static_cast<uint8_t>(c));
            if (m_wide)
                out.push_back(0);
        }
        out.push_back(0);
        if (m_wide)
            out.push_back(0);
        Pad(out);
        out.insert(out.end(), node.value.begin(), node.value.end());
        for (auto& child : node.children) {
            Pad(out);
            Write(child, out);
        }
        SetWord(out, node.offset, static_cast<uint16_t>(out.size() - node.offset));
        SetWord(out, node.offset + 2, node.valueLength);
        if (m_wide)
            SetWord(out, node.offset + 4, node.value.empty() ? 0 : 1);
    }
    bool m_wide;
};

// The block in a heap buffer of exactly its size, so the sanitizers see any
// read past its end.
struct ExactBuffer {
    explicit ExactBuffer(const std::vector<uint8_t>& bytes)
        : size(bytes.size()), data(new unsigned char[bytes.size() ? bytes.size() : 1]) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    size_t size;
    std::unique_ptr<unsigned char[]> data;
};
