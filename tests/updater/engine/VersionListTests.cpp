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

} // namespace
