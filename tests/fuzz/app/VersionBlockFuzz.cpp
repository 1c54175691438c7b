// Feeds the version block walker damaged blocks: half of the inputs are raw
// bytes, the other half a tree laid out as the resource compiler does (header,
// key, padding to 4, value, children each at a multiple of 4; 32-bit or 16-bit
// layout) whose lengths are then overwritten and whose end may be cut off, so
// the deep branches are reached quickly. The block always lies in a heap buffer
// of exactly its size.

#include "VersionBlock.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

namespace {

using Bytes = std::vector<uint8_t>;

void SetWord(Bytes& block, size_t pos, size_t word) {
    block[pos] = static_cast<uint8_t>(word);
    block[pos + 1] = static_cast<uint8_t>(word >> 8);
}

class Writer {
public:
    Writer(FuzzedDataProvider& in) : m_in(in), m_wide(in.ConsumeBool()) {}

    Bytes Root() {
        std::vector<Bytes> children;
        for (int i = m_in.ConsumeIntegralInRange(0, 4); i > 0 && m_in.remaining_bytes(); --i) {
            const std::string key = Key({"StringFileInfo", "VarFileInfo", "Other"});
            std::vector<Bytes> nodes;
            for (int j = m_in.ConsumeIntegralInRange(0, 4); j > 0 && m_in.remaining_bytes(); --j)
                nodes.push_back(key == "VarFileInfo" ? Node(Key({"Translation", "Other"}), 16)
                                                     : Table());
            children.push_back(Node(key, 0, nodes));
        }
        Bytes block = Node("VS_VERSION_INFO", 60, children);
        for (int n = m_in.ConsumeIntegralInRange(0, 4); n > 0; --n)
            SetWord(block, m_in.ConsumeIntegralInRange<size_t>(0, block.size() / 2 - 1) * 2,
                    m_in.ConsumeIntegral<uint16_t>());
        if (m_in.ConsumeBool())
            block.resize(m_in.ConsumeIntegralInRange<size_t>(0, block.size()));
        return block;
    }

private:
    std::string Key(std::initializer_list<const char*> usual) {
        if (m_in.ConsumeIntegralInRange(0, 7) == 0)
            return m_in.ConsumeRandomLengthString(12);
        return usual.begin()[m_in.ConsumeIntegralInRange<size_t>(0, usual.size() - 1)];
    }
    Bytes Table() {
        std::vector<Bytes> strings;
        for (int k = m_in.ConsumeIntegralInRange(0, 6); k > 0 && m_in.remaining_bytes(); --k)
            strings.push_back(Node(Key({"FileVersion", "Comments", ""}), 20));
        return Node(Key({"041204b0", "040904B0", "zz"}), 0, strings);
    }
    Bytes Text(const std::string& text) const {
        Bytes out;
        for (char c : text) {
            out.push_back(static_cast<uint8_t>(c));
            if (m_wide)
                out.push_back(0);
        }
        out.insert(out.end(), m_wide ? 2 : 1, 0);
        return out;
    }
    // A node with a value of up to maxValue bytes from the input.
    Bytes Node(const std::string& key, size_t maxValue, const std::vector<Bytes>& children = {}) {
        const Bytes value =
            m_in.ConsumeBytes<uint8_t>(m_in.ConsumeIntegralInRange<size_t>(0, maxValue));
        Bytes out(m_wide ? 6 : 4, 0), name = Text(key);
        out.insert(out.end(), name.begin(), name.end());
        std::vector<Bytes> parts = children;
        parts.insert(parts.begin(), value);
        for (const Bytes& part : parts) {
            out.resize((out.size() + 3) & ~size_t(3), 0);
            out.insert(out.end(), part.begin(), part.end());
        }
        SetWord(out, 0, out.size());
        SetWord(out, 2, m_wide ? value.size() / 2 : value.size());
        if (m_wide)
            SetWord(out, 4, 1);
        return out;
    }

    FuzzedDataProvider& m_in;
    const bool m_wide;
};

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

void Walk(const Bytes& bytes) {
    std::unique_ptr<unsigned char[]> data(new unsigned char[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), data.get());
    std::vector<std::string> names, values, translations;
    versionblock::Walk(data.get(), bytes.size(), false, Narrow, {&names, &values, &translations});
    versionblock::Walk(data.get(), bytes.size(), true, Narrow, {});
    if (names.size() != values.size())
        std::abort();
    for (const std::string& t : translations)
        if (t.size() != 8)
            std::abort();
    for (const std::string& name : names)
        if (name.find('|') == std::string::npos)
            std::abort();
    versionblock::ChooseTranslation(data.get(), bytes.size(), 0x0412);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1) {
        Walk(Bytes(data + 1, data + size));
        return 0;
    }
    FuzzedDataProvider in(data + 1, size - 1);
    Walk(Writer(in).Root());
    return 0;
}
