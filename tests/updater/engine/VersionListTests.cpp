#include "VersionList.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

// Any object will do as the trace source of the pure functions.
class Owner : public CTraceBase {};

// Faults: a field lost, a blank kept, an empty field turned into a value, a
// leading delimiter read as a line, earlier fields replaced or counted.
TEST(ListSplitter, FieldsAreTrimmedEmptyOnesDroppedAndALeadingDelimiterYieldsNothing) {
    struct {
        char delimiter;
        const char* text;
        Fields added;
    } cases[] = {
        {'|', "  C:\\a.dll |\t/a.dll|  RE \r\n", {"C:\\a.dll", "/a.dll", "RE"}},
        {'|', "C:\\a.dll|   |/a.dll|F", {"C:\\a.dll", "/a.dll", "F"}},
        {'|', "a|b|", {"a", "b"}},
        {',', "x, y", {"x", "y"}},
        {'|', "|a|b|c", {}},
        {'|', "   |a|b", {}},
        {'|', "", {}},
    };
    for (const auto& c : cases) {
        Owner owner;
        Fields fields{"kept"};
        EXPECT_EQ(static_cast<int>(c.added.size()),
                  versionlist::SplitFields(owner, c.delimiter, c.text, fields))
            << c.text;
        Fields expected{"kept"};
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(expected, fields) << c.text;
    }
}

// The detail traces name the text as split, with the delimiter added.
TEST(ListSplitter, TracesEachTokenDecision) {
    TraceRecorder trace;
    Owner owner;
    Fields fields;
    versionlist::SplitFields(owner, '|', " a| |b ", fields);
    std::vector<std::string> expected = {"SplitList(a| |b|) :  a --> ADD",
                                         "SplitList(a| |b|) :   --> Invalid Length",
                                         "SplitList(a| |b|) :  b --> ADD"};
    EXPECT_EQ(expected, trace.Texts(4)) << trace.Dump();
    EXPECT_EQ(3u, trace.Texts().size()) << trace.Dump();
}

// Faults: a long line read past the chunk buffer or its tail dropped, a last
// line without a line end lost.
TEST(VersionFileReader, LongLinesArriveInChunksOf1023BytesAndTheLastLineIsRead) {
    FILE* file = std::tmpfile();
    ASSERT_NE(nullptr, file);
    std::string content = std::string(1023, 'a') + std::string(1030, 'b') + "\nnext|line\nc|d";
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    Fields lines;
    std::string line;
    while (versionlist::ReadLine(file, line))
        lines.push_back(line);
    std::fclose(file);
    Fields expected = {std::string(1023, 'a'), std::string(1023, 'b'), std::string(7, 'b') + "\n",
                       "next|line\n", "c|d"};
    EXPECT_EQ(expected, lines);
}

// Faults: a digest taken as the option field (its hex letters E and F would
// start or force the module), a malformed digest taken as one, the option
// field shifted by a digest before it, a later digest replacing the first.
TEST(VersionListHashField, DigestIsReadFromTheThirdFieldOnAndNeverAsOptions) {
    const std::string hex = "0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789ABCDEF";
    const std::string lower = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
    const std::string other = std::string(64, 'e');
    struct {
        std::string line, option, sha256;
    } cases[] = {
        {"a|b|sha256=" + hex, "", lower},
        {"a|b|-|sha256=" + hex, "-", lower},
        {"a | b | FR | note | sha256=" + hex + " \r\n", "FR", lower},
        {"a|b|sha256=" + hex + "|E", "", lower},
        {"a|b|R|sha256=" + hex + "|sha256=" + other, "R", lower},
        {"a|b|sha256=" + hex.substr(1), "sha256=" + hex.substr(1), ""},
        {"a|b|E|SHA256=" + hex, "E", ""},
        {"a|sha256=" + hex, "", ""},
    };
    for (const auto& c : cases) {
        Owner owner;
        ModuleRecord record;
        ASSERT_TRUE(versionlist::ParseLine(owner, c.line, record)) << c.line;
        EXPECT_EQ(c.option, record.updateOption) << c.line;
        EXPECT_EQ(c.sha256, record.sha256) << c.line;
    }
}

// Faults: a missing or malformed serial read as some number (0 would let any
// older list in), a serial not at a line start taken, the first one not the
// one that counts, an overflow wrapping round.
TEST(VersionListSerial, FirstSerialLineCountsAndOnlyAWholeNumberIsASerial) {
    using versionlist::SERIAL_FOUND;
    using versionlist::SERIAL_INVALID;
    using versionlist::SERIAL_MISSING;
    struct {
        const char* text;
        versionlist::SerialResult result;
        unsigned long long serial;
    } cases[] = {
        {"; list\r\n;serial=42\r\na|b\r\n", SERIAL_FOUND, 42},
        {"a|b\n;serial=7\n;serial=9\n", SERIAL_FOUND, 7},
        {";serial=18446744073709551615", SERIAL_FOUND, 18446744073709551615ULL},
        {";serial=18446744073709551616\n", SERIAL_INVALID, 0},
        {";serial=12x\n;serial=13\n", SERIAL_INVALID, 0},
        {";serial=\n", SERIAL_INVALID, 0},
        {";serial=-1\n", SERIAL_INVALID, 0},
        {"; serial=5\n a;serial=6\n;Serial=7\n", SERIAL_MISSING, 0},
        {"", SERIAL_MISSING, 0},
    };
    for (const auto& c : cases) {
        unsigned long long serial = 0;
        EXPECT_EQ(c.result, versionlist::FindSerial(c.text, serial)) << c.text;
        EXPECT_EQ(c.serial, serial) << c.text;
    }
}

} // namespace
