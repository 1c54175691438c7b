// Feeds the version block walker damaged blocks: half of the inputs are raw
// bytes, the other half are built into a well-formed tree first and then have
// lengths and bytes overwritten, so the deep branches are reached quickly.
// The block always lies in a heap buffer of exactly its size.

#include "VersionBlock.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Narrow(const char16_t* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

class Writer {
public:
    Writer(FuzzedDataProvider& in, bool wide) : m_in(in), m_wide(wide) {}

    std::vector<uint8_t> Root() {
        size_t start = Begin("VS_VERSION_INFO");
        Value(m_in.ConsumeIntegralInRange<size_t>(0, 60));
        int children = m_in.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < children && m_in.remaining_bytes(); ++i)
            Child();
        End(start);
        return std::move(m_out);
    }

private:
    std::string Key(std::initializer_list<const char*> usual) {
        if (m_in.ConsumeIntegralInRange(0, 7) == 0)
            return m_in.ConsumeRandomLengthString(12);
        size_t pick = m_in.ConsumeIntegralInRange<size_t>(0, usual.size() - 1);
        return usual.begin()[pick];
    }
    void Pad() {
        while (m_out.size() % 4)
            m_out.push_back(0);
    }
    void Word(uint16_t w) {
        m_out.push_back(static_cast<uint8_t>(w));
        m_out.push_back(static_cast<uint8_t>(w >> 8));
    }
    void Text(const std::string& text) {
        for (char c : text) {
            m_out.push_back(static_cast<uint8_t>(c));
            if (m_wide)
                m_out.push_back(0);
        }
        m_out.push_back(0);
        if (m_wide)
            m_out.push_back(0);
    }
    size_t Begin(const std::string& key) {
        Pad();
        size_t start = m_out.size();
        m_out.insert(m_out.end(), m_wide ? 6 : 4, 0);
        Text(key);
        Pad();
        return start;
    }
    void Value(size_t bytes) {
        for (size_t i = 0; i < bytes; ++i)
            m_out.push_back(m_in.ConsumeIntegral<uint8_t>());
    }
    // Writes the node's length, or now and then a made-up one.
    void End(size_t start) {
        uint16_t length = static_cast<uint16_t>(m_out.size() - start);
        if (m_in.ConsumeIntegralInRange(0, 9) == 0)
            length = m_in.ConsumeIntegral<uint16_t>();
        m_out[start] = static_cast<uint8_t>(length);
        m_out[start + 1] = static_cast<uint8_t>(length >> 8);
        uint16_t valueLength = static_cast<uint16_t>(m_in.ConsumeIntegralInRange(0, 64));
        m_out[start + 2] = static_cast<uint8_t>(valueLength);
        m_out[start + 3] = static_cast<uint8_t>(valueLength >> 8);
    }
    void Child() {
        std::string key = Key({"StringFileInfo", "VarFileInfo", "Other"});
        size_t start = Begin(key);
        int count = m_in.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < count && m_in.remaining_bytes(); ++i) {
            if (key == "VarFileInfo")
                Variable();
            else
                Table();
        }
        End(start);
    }
    void Table() {
        size_t start = Begin(Key({"041204b0", "040904B0", "zz"}));
        int count = m_in.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count && m_in.remaining_bytes(); ++i) {
            size_t string = Begin(Key({"FileVersion", "Comments", ""}));
            if (m_in.ConsumeBool())
                Text(m_in.ConsumeRandomLengthString(16));
            End(string);
        }
        End(start);
    }
    void Variable() {
        size_t start = Begin(Key({"Translation", "Other"}));
        int pairs = m_in.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < pairs; ++i) {
            Word(m_in.ConsumeIntegral<uint16_t>());
            Word(m_in.ConsumeIntegral<uint16_t>());
        }
        End(start);
    }

    FuzzedDataProvider& m_in;
    bool m_wide;
    std::vector<uint8_t> m_out;
};

void Walk(const std::vector<uint8_t>& bytes) {
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
        Walk(std::vector<uint8_t>(data + 1, data + size));
        return 0;
    }
    FuzzedDataProvider in(data + 1, size - 1);
    bool wide = in.ConsumeBool();
    size_t cut = in.ConsumeIntegral<uint16_t>();
    std::vector<uint8_t> block = Writer(in, wide).Root();
    if (cut < block.size() && (cut & 1))
        block.resize(cut);
    Walk(block);
    return 0;
}
