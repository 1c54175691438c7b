#include "BlockBuilder.h"
#include "VersionBlock.h"

#include <gtest/gtest.h>

namespace {

std::string Ascii(const char16_t* text) {
    std::string out;
    for (; *text; ++text)
        out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

using Strings = std::vector<std::string>;

struct Walked {
    std::string lastTable;
    Strings names, values, translations;
};

Walked WalkAll(const std::vector<uint8_t>& bytes) {
    ExactBuffer buffer(bytes);
    Walked w;
    w.lastTable = versionblock::Walk(buffer.data.get(), buffer.size, false, Ascii,
                                     {&w.names, &w.values, &w.translations});
    return w;
}

std::string FirstTable(const std::vector<uint8_t>& bytes) {
    ExactBuffer buffer(bytes);
    return versionblock::Walk(buffer.data.get(), buffer.size, true, Ascii, {});
}

const char* const kNames[] = {"Comments",        "CompanyName",      "FileDescription",
                              "FileVersion",     "InternalName",     "LegalCopyright",
                              "LegalTrademarks", "OriginalFilename", "PrivateBuild",
                              "ProductName",     "ProductVersion",   "SpecialBuild"};

// The shape of the updater's own block: one lower-case table, twelve strings,
// one translation.
BlockNode ProgramBlock(bool wide = true) {
    BlockNode root = RootNode();
    BlockNode& strings = root.Add(Node("StringFileInfo"));
    BlockNode& table = strings.Add(Node("041204b0"));
    for (const char* name : kNames)
        table.Add(StringNode(name, std::string("v-") + name, wide));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0412, 0x04B0}}));
    return root;
}

Strings ProgramNames(const std::string& key = "041204B0") {
    Strings names;
    for (const char* name : kNames)
        names.push_back(key + "|" + name);
    return names;
}

TEST(VersionBlockLayout, ProgramBlockYieldsItsTwelveStringsAndTranslationInOrder) {
    BlockNode root = ProgramBlock();
    auto bytes = BlockBuilder().Build(root);
    EXPECT_EQ(92u, root.children[0].offset);
    EXPECT_EQ(128u, root.children[0].children[0].offset);
    Walked w = WalkAll(bytes);
    EXPECT_EQ(ProgramNames(), w.names);
    ASSERT_EQ(12u, w.values.size());
    EXPECT_EQ("v-Comments", w.values[0]);
    EXPECT_EQ("v-SpecialBuild", w.values[11]);
    EXPECT_EQ(Strings{"041204B0"}, w.translations);
    EXPECT_EQ("041204B0", w.lastTable);
    EXPECT_EQ("041204B0", FirstTable(bytes));
}

TEST(VersionBlockLayout, SixteenBitBlockHasNarrowKeysAndValues) {
    BlockNode root = ProgramBlock(false);
    auto bytes = BlockBuilder(false).Build(root);
    ASSERT_NE('V', bytes[6]);
    Walked w = WalkAll(bytes);
    EXPECT_EQ(ProgramNames(), w.names);
    ASSERT_EQ(12u, w.values.size());
    EXPECT_EQ("v-FileVersion", w.values[3]);
    EXPECT_EQ(Strings{"041204B0"}, w.translations);
}

TEST(VersionBlockLayout, LayoutIsDecidedOnceFromTheRoot) {
    // Narrow keys inside a block whose root says UTF-16 are not taken for
    // names: the root key already fails to match when read the wrong way.
    BlockNode root = ProgramBlock(false);
    auto bytes = BlockBuilder(false).Build(root);
    bytes[6] = 'V';
    Walked w = WalkAll(bytes);
    EXPECT_TRUE(w.names.empty());
    EXPECT_TRUE(w.translations.empty());
}

TEST(VersionBlockKeys, TableKeysAreUpperCasedAndKeysOtherwiseMatchExactly) {
    BlockNode root = RootNode();
    root.Add(Node("stringfileinfo")).Add(Node("0409abcd")).Add(StringNode("X", "ignored"));
    BlockNode& strings = root.Add(Node("StringFileInfo"));
    strings.Add(Node("041204b0")).Add(StringNode("FileVersion", "1"));
    strings.Add(Node("0409abcd")).Add(StringNode("FileVersion", "2"));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0409, 0xabcd}, {0x0412, 0x04B0}}));
    auto bytes = BlockBuilder().Build(root);
    Walked w = WalkAll(bytes);
    EXPECT_EQ((Strings{"041204B0|FileVersion", "0409ABCD|FileVersion"}), w.names);
    EXPECT_EQ((Strings{"1", "2"}), w.values);
    EXPECT_EQ((Strings{"0409ABCD", "041204B0"}), w.translations);
    EXPECT_EQ("0409ABCD", w.lastTable);
    EXPECT_EQ("041204B0", FirstTable(bytes));
}

TEST(VersionBlockKeys, WrongRootKeyYieldsNothing) {
    BlockNode root = ProgramBlock();
    root.key = "VS_VERSION_INFX";
    Walked w = WalkAll(BlockBuilder().Build(root));
    EXPECT_TRUE(w.names.empty());
    EXPECT_TRUE(w.translations.empty());
    EXPECT_EQ("", w.lastTable);
}

TEST(VersionBlockKeys, UpperCaseLeavesDoubleByteCharactersAlone) {
    // 0x81 0x61 is one code page 949 character whose trail byte is 'a'.
    EXPECT_EQ("AB\x81"
              "aC",
              versionblock::UpperCase("ab\x81"
                                      "ac"));
}

TEST(VersionBlockValues, StringWithoutValueIsCollectedEmptyAndTheNextOneStillRead) {
    BlockNode root = RootNode();
    BlockNode& table = root.Add(Node("StringFileInfo")).Add(Node("041204b0"));
    table.Add(Node("Comments"));               // header and name only
    table.Add(StringNode("PrivateBuild", "")); // value is just the terminator
    table.Add(StringNode("FileVersion", "7"));
    auto bytes = BlockBuilder().Build(root);
    ASSERT_EQ(6u + 18u, bytes[table.children[0].offset]);
    Walked w = WalkAll(bytes);
    EXPECT_EQ((Strings{"041204B0|Comments", "041204B0|PrivateBuild", "041204B0|FileVersion"}),
              w.names);
    EXPECT_EQ((Strings{"", "", "7"}), w.values);
}

TEST(VersionBlockValues, AbsentListsAreSkipped) {
    BlockNode root = ProgramBlock();
    ExactBuffer buffer(BlockBuilder().Build(root));
    Strings translations;
    versionblock::Lists lists;
    lists.translations = &translations;
    EXPECT_EQ("041204B0", versionblock::Walk(buffer.data.get(), buffer.size, false, Ascii, lists));
    EXPECT_EQ(Strings{"041204B0"}, translations);
}

// Lengths above their limits end the walk; what came before stays.
TEST(VersionBlockLimits, OversizedLengthsEndTheWalkKeepingWhatCameBefore) {
    BlockNode root = RootNode();
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0412, 0x04B0}}));
    BlockNode& filled = root.Add(Node("StringFileInfo")).Add(Node("041204b0"));
    filled.Add(StringNode("A", "1"));
    filled.Add(StringNode("B", "2"));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0409, 0x04E4}}));
    auto clean = BlockBuilder().Build(root);
    const BlockNode& strings = root.children[1];
    const BlockNode& table = strings.children[0];
    ASSERT_EQ(2u, WalkAll(clean).translations.size());

    auto patched = [&](size_t pos, uint16_t word) {
        auto bytes = clean;
        BlockBuilder::SetWord(bytes, pos, word);
        return WalkAll(bytes);
    };
    EXPECT_TRUE(patched(0, 50001).translations.empty());
    EXPECT_EQ(1u, patched(strings.offset, 40001).translations.size());
    Walked t = patched(table.offset, 30001);
    EXPECT_TRUE(t.names.empty());
    EXPECT_EQ(1u, t.translations.size());
    Walked s = patched(table.children[1].offset, 10001);
    EXPECT_EQ(Strings{"041204B0|A"}, s.names);
    EXPECT_EQ(1u, s.translations.size());
    EXPECT_EQ(1u, patched(root.children[2].children[0].offset, 10001).translations.size());
}

TEST(VersionBlockLimits, LengthsAtTheirLimitsAreStillRead) {
    BlockNode root = RootNode();
    BlockNode& table = root.Add(Node("StringFileInfo")).Add(Node("041204b0"));
    table.Add(StringNode("Long", std::string(4980, 'x')));
    auto bytes = BlockBuilder().Build(root);
    size_t string = table.children[0].offset;
    // Stretch the string to exactly 10000 bytes: zeros after its text.
    bytes.resize(string + 10000, 0);
    BlockBuilder::SetWord(bytes, string, 10000);
    BlockBuilder::SetWord(bytes, table.offset, static_cast<uint16_t>(bytes.size() - table.offset));
    BlockBuilder::SetWord(bytes, root.children[0].offset,
                          static_cast<uint16_t>(bytes.size() - root.children[0].offset));
    BlockBuilder::SetWord(bytes, 0, static_cast<uint16_t>(bytes.size()));
    Walked w = WalkAll(bytes);
    ASSERT_EQ(Strings{"041204B0|Long"}, w.names);
    EXPECT_EQ(4980u, w.values[0].size());
}

// Lengths pointing past the end of the data: the walk reads what lies inside
// it and stops at the first node that does not fit (the sanitizers check that
// nothing past the end is touched).
TEST(VersionBlockTruncation, LengthsPastTheEndStopAtTheEndOfTheData) {
    BlockNode root = ProgramBlock();
    auto full = BlockBuilder().Build(root);
    const BlockNode& table = root.children[0].children[0];
    // Cut the data in the middle of the fifth string's value.
    size_t cut = table.children[4].offset + 30;
    std::vector<uint8_t> part(full.begin(), full.begin() + cut);
    Walked w = WalkAll(part);
    Strings all = ProgramNames();
    EXPECT_EQ(Strings(all.begin(), all.begin() + 4), w.names);
    EXPECT_EQ(4u, w.values.size());
    EXPECT_TRUE(w.translations.empty());

    // Every other cut, down to the empty block, ends just as quietly.
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<uint8_t> cutAt(full.begin(), full.begin() + n);
        Walked c = WalkAll(cutAt);
        EXPECT_LE(c.names.size(), 12u);
        EXPECT_EQ(c.names.size(), c.values.size());
        EXPECT_TRUE(c.translations.empty()) << n;
    }
}

TEST(VersionBlockTruncation, ChildLengthLargerThanTheDataReadsOnlyTheData) {
    BlockNode root = RootNode();
    BlockNode& var = root.Add(Node("VarFileInfo"));
    var.Add(TranslationNode({{0x0412, 0x04B0}, {0x0409, 0x04B0}}));
    auto bytes = BlockBuilder().Build(root);
    BlockBuilder::SetWord(bytes, 0, 30000);
    BlockBuilder::SetWord(bytes, var.offset, 20000);
    BlockBuilder::SetWord(bytes, var.children[0].offset, 9000);
    Walked w = WalkAll(bytes);
    EXPECT_EQ((Strings{"041204B0", "040904B0"}), w.translations);
}

TEST(VersionBlockTruncation, KeyWithoutTerminatorInsideTheData) {
    BlockNode root = ProgramBlock();
    auto bytes = BlockBuilder().Build(root);
    const BlockNode& last = root.children[0].children[0].children[11];
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + last.offset + 6 + 6);
    Walked w = WalkAll(part);
    EXPECT_EQ(11u, w.names.size());
}

TEST(VersionBlockVariables, OtherVariableEndsItsChildAndTheNextChildIsStillRead) {
    BlockNode root = RootNode();
    BlockNode& var = root.Add(Node("VarFileInfo"));
    var.Add(TranslationNode({{0x0412, 0x04B0}}));
    BlockNode other = TranslationNode({{0x0409, 0x04B0}});
    other.key = "Unknown";
    var.Add(other);
    var.Add(TranslationNode({{0x0000, 0x04B0}}));
    root.Add(Node("StringFileInfo")).Add(Node("040904b0")).Add(StringNode("FileVersion", "3"));
    Walked w = WalkAll(BlockBuilder().Build(root));
    EXPECT_EQ(Strings{"041204B0"}, w.translations);
    EXPECT_EQ(Strings{"040904B0|FileVersion"}, w.names);
}

TEST(VersionBlockVariables, UnknownChildIsSkippedWhole) {
    BlockNode root = RootNode();
    BlockNode& odd = root.Add(Node("Extra"));
    odd.Add(Node("StringFileInfo")).Add(Node("00000000")).Add(StringNode("A", "1"));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0412, 0x04B0}}));
    Walked w = WalkAll(BlockBuilder().Build(root));
    EXPECT_TRUE(w.names.empty());
    EXPECT_EQ(Strings{"041204B0"}, w.translations);
}

// Count limits end the reading of one node; the walk goes on after its end.
TEST(VersionBlockCounts, StringsPerTableStopAtFiveHundredAndTheNextTableIsRead) {
    BlockNode root = RootNode();
    BlockNode& strings = root.Add(Node("StringFileInfo"));
    BlockNode& big = strings.Add(Node("041204b0"));
    for (int i = 0; i < 501; ++i)
        big.Add(StringNode("S" + std::to_string(i), ""));
    strings.Add(Node("040904b0")).Add(StringNode("After", "x"));
    Walked w = WalkAll(BlockBuilder().Build(root));
    ASSERT_EQ(501u, w.names.size());
    EXPECT_EQ("041204B0|S499", w.names[499]);
    EXPECT_EQ("040904B0|After", w.names[500]);
}

TEST(VersionBlockCounts, TablesStopAtTwoHundredAndTheNextChildIsRead) {
    BlockNode root = RootNode();
    BlockNode& strings = root.Add(Node("StringFileInfo"));
    for (int i = 0; i < 201; ++i)
        strings.Add(Node(versionblock::TranslationKey(static_cast<uint16_t>(i), 0)))
            .Add(StringNode("N", ""));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0412, 0x04B0}}));
    Walked w = WalkAll(BlockBuilder().Build(root));
    ASSERT_EQ(200u, w.names.size());
    EXPECT_EQ("00C70000|N", w.names.back());
    EXPECT_EQ("00C70000", w.lastTable);
    EXPECT_EQ(Strings{"041204B0"}, w.translations);
}

TEST(VersionBlockCounts, PairsVariablesAndChildrenHaveTheirLimits) {
    BlockNode root = RootNode();
    std::vector<std::pair<uint16_t, uint16_t>> pairs;
    for (uint16_t i = 0; i < 101; ++i)
        pairs.push_back({i, 0x04B0});
    BlockNode& var = root.Add(Node("VarFileInfo"));
    var.Add(TranslationNode(pairs));
    var.Add(TranslationNode({{0xAAAA, 0xBBBB}}));
    BlockNode& many = root.Add(Node("VarFileInfo"));
    for (uint16_t i = 0; i < 101; ++i)
        many.Add(TranslationNode({{0x1000, i}}));
    for (int i = 0; i < 97; ++i)
        root.Add(Node("Filler"));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x2222, 0}})); // the 100th child
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x3333, 0}})); // the 101st
    Walked w = WalkAll(BlockBuilder().Build(root));
    ASSERT_EQ(100u + 1u + 100u + 1u, w.translations.size());
    EXPECT_EQ("006304B0", w.translations[99]);
    EXPECT_EQ("AAAABBBB", w.translations[100]);
    EXPECT_EQ("10000063", w.translations[200]);
    EXPECT_EQ("22220000", w.translations.back());
}

TEST(VersionBlockCounts, ZeroLengthChildrenCannotHoldTheWalk) {
    BlockNode root = RootNode();
    root.Add(Node("Filler"));
    root.Add(Node("VarFileInfo")).Add(TranslationNode({{0x0412, 0x04B0}}));
    auto bytes = BlockBuilder().Build(root);
    BlockBuilder::SetWord(bytes, root.children[0].offset, 0);
    Walked w = WalkAll(bytes);
    EXPECT_TRUE(w.translations.empty()); // the same child is read 100 times
}

// Translation choice.
std::vector<uint8_t> Entries(std::vector<std::pair<uint16_t, uint16_t>> pairs) {
    std::vector<uint8_t> out;
    for (auto& p : pairs)
        for (uint16_t w : {p.first, p.second}) {
            out.push_back(static_cast<uint8_t>(w));
            out.push_back(static_cast<uint8_t>(w >> 8));
        }
    return out;
}

uint32_t Choose(const std::vector<uint8_t>& entries, uint16_t user, size_t size = SIZE_MAX) {
    ExactBuffer buffer(entries);
    return versionblock::ChooseTranslation(buffer.data.get(), std::min(size, buffer.size), user);
}

const uint16_t kKorean = 0x0412, kFrench = 0x040C;

TEST(TranslationChoice, UserLanguageWinsThenNeutralThenEnglishThenFirst) {
    auto englishKorean = Entries({{0x0409, 0x04B0}, {0x0412, 0x04B0}});
    EXPECT_EQ(0x04B00412u, Choose(englishKorean, kKorean));
    EXPECT_EQ(0x04B00409u, Choose(englishKorean, kFrench));
    auto withNeutral = Entries({{0x0409, 0x04B0}, {0x0000, 0x04E4}});
    EXPECT_EQ(0x04E40000u, Choose(withNeutral, kFrench));
    auto neither = Entries({{0x0407, 0x04E4}, {0x0410, 0x04B0}});
    EXPECT_EQ(0x04E40407u, Choose(neither, kKorean));
    EXPECT_EQ(0u, Choose({}, kKorean));
}

TEST(TranslationChoice, ExactLanguageBeatsAnEarlierLowByteMatch) {
    auto entries = Entries({{0x0812, 0x0001}, {0x0412, 0x0002}, {0x0409, 0x0003}});
    EXPECT_EQ(0x00020412u, Choose(entries, kKorean));
    EXPECT_EQ(0x00010812u, Choose(Entries({{0x0409, 3}, {0x0812, 1}}), kKorean));
}

TEST(TranslationChoice, PartialEntryAtTheEndIsNotRead) {
    auto entries = Entries({{0x0407, 1}, {0x0412, 2}});
    EXPECT_EQ(0x00010407u, Choose(entries, kKorean, 6));
    EXPECT_EQ(0u, Choose(entries, kKorean, 3));
    uint32_t entry = 7;
    EXPECT_FALSE(versionblock::FindTranslation(nullptr, 8, kKorean, true, &entry));
    EXPECT_EQ(7u, entry);
}

} // namespace
