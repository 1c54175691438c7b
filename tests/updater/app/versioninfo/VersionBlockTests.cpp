#include "VersionBlock.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Strings = std::vector<std::string>;
using Pairs = std::vector<std::pair<uint16_t, uint16_t>>;

// Hand-made blocks laid out as the resource compiler does: header, key,
// padding to 4, value, children each at a multiple of 4; in the 32-bit
// (UTF-16) or the 16-bit (narrow) layout.
using Bytes = std::vector<uint8_t>;

void SetWord(Bytes& block, size_t pos, size_t word) {
    block[pos] = static_cast<uint8_t>(word);
    block[pos + 1] = static_cast<uint8_t>(word >> 8);
}

void Append(Bytes& out, const Bytes& part) {
    out.resize((out.size() + 3) & ~size_t(3), 0);
    out.insert(out.end(), part.begin(), part.end());
}

// (language, code page) pairs as stored: 4 bytes each, little-endian.
Bytes Entries(const Pairs& pairs) {
    Bytes out;
    for (auto& p : pairs)
        for (uint16_t w : {p.first, p.second}) {
            out.push_back(static_cast<uint8_t>(w));
            out.push_back(static_cast<uint8_t>(w >> 8));
        }
    return out;
}

struct Builder {
    bool wide = true;

    Bytes Text(const std::string& text) const {
        Bytes out;
        for (char c : text) {
            out.push_back(static_cast<uint8_t>(c));
            if (wide)
                out.push_back(0);
        }
        out.insert(out.end(), wide ? 2 : 1, 0);
        return out;
    }
    Bytes Node(const std::string& key, const Bytes& value, size_t valueLength,
               const std::vector<Bytes>& children = {}) const {
        Bytes out = Text(key);
        out.insert(out.begin(), wide ? 6 : 4, 0);
        Append(out, value);
        for (const Bytes& child : children)
            Append(out, child);
        SetWord(out, 0, out.size());
        SetWord(out, 2, valueLength);
        if (wide)
            SetWord(out, 4, value.empty() ? 0 : 1);
        return out;
    }
    Bytes Group(const std::string& key, const std::vector<Bytes>& children) const {
        return Node(key, {}, 0, children);
    }
    Bytes Root(const std::vector<Bytes>& children) const {
        return Node("VS_VERSION_INFO", Bytes(52, 0), 52, children);
    }
    Bytes String(const std::string& name, const std::string& text) const {
        return Node(name, Text(text), text.size() + 1);
    }
    Bytes Translation(const Pairs& pairs, const std::string& key = "Translation") const {
        Bytes value = Entries(pairs);
        return Node(key, value, value.size());
    }
    // Where the node with this key starts, searching from a position.
    size_t At(const Bytes& block, const std::string& key, size_t from = 0) const {
        Bytes text = Text(key);
        auto hit = std::search(block.begin() + from, block.end(), text.begin(), text.end());
        EXPECT_NE(block.end(), hit) << key;
        return static_cast<size_t>(hit - block.begin()) - (wide ? 6 : 4);
    }
};

const Builder B;

std::string Ascii(const char16_t* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

struct Walked {
    std::string lastTable, firstTable;
    Strings names, values, translations;
};

// The walk gets a copy of exactly the data's size, so the sanitizers see any
// read past its end.
Walked WalkAll(const Bytes& bytes) {
    Bytes exact(bytes);
    Walked w;
    w.lastTable = versionblock::Walk(exact.data(), exact.size(), false, Ascii,
                                     {&w.names, &w.values, &w.translations});
    w.firstTable = versionblock::Walk(exact.data(), exact.size(), true, Ascii, {});
    return w;
}

const char* const kNames[] = {"Comments",     "FileDescription", "FileVersion",
                              "InternalName", "ProductName",     "ProductVersion"};

// The shape of the updater's own block: one lower-case table, one translation.
Bytes ProgramBlock(const Builder& b) {
    std::vector<Bytes> strings;
    for (const char* name : kNames)
        strings.push_back(b.String(name, std::string("v-") + name));
    return b.Root({b.Group("StringFileInfo", {b.Group("041204b0", strings)}),
                   b.Group("VarFileInfo", {b.Translation({{0x0412, 0x04B0}})})});
}

Strings ProgramNames(size_t count = std::size(kNames)) {
    Strings names;
    for (size_t i = 0; i < count; ++i)
        names.push_back(std::string("041204B0|") + kNames[i]);
    return names;
}

TEST(VersionBlockLayout, BothLayoutsYieldTheStringsAndTranslationInOrder) {
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "32-bit" : "16-bit");
        Bytes bytes = ProgramBlock(Builder{wide});
        Walked w = WalkAll(bytes);
        EXPECT_EQ(ProgramNames(), w.names);
        ASSERT_EQ(std::size(kNames), w.values.size());
        EXPECT_EQ("v-Comments", w.values.front());
        EXPECT_EQ("v-ProductVersion", w.values.back());
        EXPECT_EQ(Strings{"041204B0"}, w.translations);
        EXPECT_EQ("041204B0", w.lastTable);
        EXPECT_EQ("041204B0", w.firstTable);
    }
}

TEST(VersionBlockKeys, TableKeysAreUpperCasedAndKeysOtherwiseMatchExactly) {
    Bytes bytes = B.Root({
        B.Group("stringfileinfo", {B.Group("0409abcd", {B.String("X", "ignored")})}),
        B.Group("StringFileInfo", {B.Group("041204b0", {B.String("FileVersion", "1")}),
                                   B.Group("0409abcd", {B.String("FileVersion", "2")})}),
        B.Group("VarFileInfo", {B.Translation({{0x0409, 0xabcd}, {0x0412, 0x04B0}})}),
    });
    Walked w = WalkAll(bytes);
    EXPECT_EQ((Strings{"041204B0|FileVersion", "0409ABCD|FileVersion"}), w.names);
    EXPECT_EQ((Strings{"1", "2"}), w.values);
    EXPECT_EQ((Strings{"0409ABCD", "041204B0"}), w.translations);
    EXPECT_EQ("0409ABCD", w.lastTable);
    EXPECT_EQ("041204B0", w.firstTable);

    // 0x81 0x61 is one code page 949 character whose trail byte is 'a'.
    EXPECT_EQ("AB\x81"
              "aC",
              versionblock::UpperCase("ab\x81"
                                      "ac"));
}

TEST(VersionBlockValues, StringWithoutValueIsCollectedEmptyAndTheNextOneStillRead) {
    // The first string has a header and name only; the second a value that
    // is just the terminator.
    Bytes table = B.Group("041204b0", {B.Group("Comments", {}), B.String("PrivateBuild", ""),
                                       B.String("FileVersion", "7")});
    Bytes bytes = B.Root({B.Group("StringFileInfo", {table})});
    Walked w = WalkAll(bytes);
    EXPECT_EQ((Strings{"041204B0|Comments", "041204B0|PrivateBuild", "041204B0|FileVersion"}),
              w.names);
    EXPECT_EQ((Strings{"", "", "7"}), w.values);
    // Absent lists are skipped.
    EXPECT_EQ("041204B0", versionblock::Walk(bytes.data(), bytes.size(), false, Ascii, {}));
}

TEST(VersionBlockVariables, OtherVariableOrChildIsSkippedAndTheNextChildStillRead) {
    Bytes bytes = B.Root({
        B.Group("Extra", {B.Group("StringFileInfo", {B.Group("00000000", {B.String("A", "1")})})}),
        B.Group("VarFileInfo",
                {B.Translation({{0x0412, 0x04B0}}), B.Translation({{0x0409, 0x04B0}}, "Unknown"),
                 B.Translation({{0x0000, 0x04B0}})}),
        B.Group("StringFileInfo", {B.Group("040904b0", {B.String("FileVersion", "3")})}),
    });
    Walked w = WalkAll(bytes);
    EXPECT_EQ(Strings{"041204B0"}, w.translations);
    EXPECT_EQ(Strings{"040904B0|FileVersion"}, w.names);
}

// Lengths above their limits end the walk; what came before stays.
TEST(VersionBlockLimits, OversizedLengthsEndTheWalkKeepingWhatCameBefore) {
    Bytes clean = B.Root({
        B.Group("VarFileInfo", {B.Translation({{0x0412, 0x04B0}})}),
        B.Group("StringFileInfo",
                {B.Group("041204b0", {B.String("Alpha", "1"), B.String("Beta", "2")})}),
        B.Group("VarFileInfo", {B.Translation({{0x0409, 0x04E4}})}),
    });
    ASSERT_EQ(2u, WalkAll(clean).translations.size());
    struct Case {
        const char* what;
        size_t pos;
        uint16_t length;
        Strings names;
        size_t translations;
    } cases[] = {
        {"root", 0, 50001, {}, 0},
        {"child", B.At(clean, "StringFileInfo"), 40001, {}, 1},
        {"table", B.At(clean, "041204b0"), 30001, {}, 1},
        {"string", B.At(clean, "Beta"), 10001, {"041204B0|Alpha"}, 1},
        {"variable",
         B.At(clean, "Translation", B.At(clean, "Beta")),
         10001,
         {"041204B0|Alpha", "041204B0|Beta"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = clean;
        SetWord(bytes, c.pos, c.length);
        Walked w = WalkAll(bytes);
        EXPECT_EQ(c.names, w.names);
        EXPECT_EQ(c.translations, w.translations.size());
    }
}

// Lengths pointing past the end of the data: the walk reads what lies inside
// it and stops at the first node that does not fit (the sanitizers check that
// nothing past the end is touched).
TEST(VersionBlockTruncation, LengthsPastTheEndStopAtTheEndOfTheData) {
    Bytes full = ProgramBlock(B);
    // Cut the data in the middle of the fifth string's value.
    size_t cut = B.At(full, kNames[4]) + 34;
    Walked w = WalkAll(Bytes(full.begin(), full.begin() + cut));
    EXPECT_EQ(ProgramNames(4), w.names);
    EXPECT_EQ(4u, w.values.size());
    EXPECT_TRUE(w.translations.empty());

    // Every other cut, down to the empty block, ends just as quietly.
    for (size_t n = 0; n < full.size(); ++n) {
        Walked c = WalkAll(Bytes(full.begin(), full.begin() + n));
        EXPECT_EQ(c.names.size(), c.values.size()) << n;
        EXPECT_TRUE(c.translations.empty()) << n;
    }
}

TEST(VersionBlockCounts, ZeroLengthChildrenCannotHoldTheWalk) {
    Bytes bytes = B.Root(
        {B.Group("Filler", {}), B.Group("VarFileInfo", {B.Translation({{0x0412, 0x04B0}})})});
    SetWord(bytes, B.At(bytes, "Filler"), 0);
    EXPECT_TRUE(WalkAll(bytes).translations.empty()); // the same child is read 100 times
}

TEST(TranslationChoice, UserLanguageWinsThenNeutralThenEnglishThenFirst) {
    const uint16_t kKorean = 0x0412, kFrench = 0x040C;
    struct Case {
        Pairs entries;
        uint16_t user;
        size_t size; // bytes handed in; SIZE_MAX for all
        uint32_t expected;
    } cases[] = {
        {{{0x0409, 0x04B0}, {0x0412, 0x04B0}}, kKorean, SIZE_MAX, 0x04B00412},
        {{{0x0409, 0x04B0}, {0x0412, 0x04B0}}, kFrench, SIZE_MAX, 0x04B00409},
        {{{0x0409, 0x04B0}, {0x0000, 0x04E4}}, kFrench, SIZE_MAX, 0x04E40000},
        {{{0x0407, 0x04E4}, {0x0410, 0x04B0}}, kKorean, SIZE_MAX, 0x04E40407},
        {{}, kKorean, SIZE_MAX, 0},
        // An exact language beats an earlier low-byte match.
        {{{0x0812, 1}, {0x0412, 2}, {0x0409, 3}}, kKorean, SIZE_MAX, 0x00020412},
        {{{0x0409, 3}, {0x0812, 1}}, kKorean, SIZE_MAX, 0x00010812},
        // A partial entry at the end is not read.
        {{{0x0407, 1}, {0x0412, 2}}, kKorean, 6, 0x00010407},
        {{{0x0407, 1}, {0x0412, 2}}, kKorean, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.expected);
        Bytes all = Entries(c.entries);
        Bytes entries(all.begin(), all.begin() + std::min(c.size, all.size()));
        EXPECT_EQ(c.expected,
                  versionblock::ChooseTranslation(entries.data(), entries.size(), c.user));
    }
    uint32_t entry = 7;
    EXPECT_FALSE(versionblock::FindTranslation(nullptr, 8, kKorean, true, &entry));
    EXPECT_EQ(7u, entry);
}

} // namespace
