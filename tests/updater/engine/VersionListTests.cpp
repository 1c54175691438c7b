#include "VersionList.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using versionlist::SplitFields;

// Any object will do as the trace source of the pure functions.
class Owner : public CTraceBase {};

std::vector<std::string> Split(const std::string& text, char delimiter = '|') {
    Owner owner;
    std::vector<std::string> fields;
    int added = SplitFields(owner, delimiter, text, fields);
    EXPECT_EQ(static_cast<int>(fields.size()), added);
    return fields;
}

using Fields = std::vector<std::string>;

// Faults: a field lost, a blank kept, an empty field turned into a value.
TEST(ListSplitter, FieldsAreTrimmedAndEmptyOnesDroppedSoLaterFieldsMoveUp) {
    EXPECT_EQ((Fields{"C:\\a.dll", "/a.dll", "RE"}), Split("  C:\\a.dll |\t/a.dll|  RE \r\n"));
    EXPECT_EQ((Fields{"C:\\a.dll", "/a.dll"}), Split("C:\\a.dll||/a.dll"));
    EXPECT_EQ((Fields{"C:\\a.dll", "/a.dll", "F"}), Split("C:\\a.dll|   |/a.dll|F"));
    EXPECT_EQ((Fields{"a", "b"}), Split("a|b|"));
    EXPECT_EQ((Fields{"a", "b", "c", "d"}), Split("a|b|c|d"));
    EXPECT_EQ((Fields{"one field"}), Split("one field"));
}

// Fault: a text that starts with the delimiter must yield no field at all.
TEST(ListSplitter, LeadingDelimiterYieldsNothing) {
    EXPECT_TRUE(Split("|a|b|c").empty());
    EXPECT_TRUE(Split("   |a|b").empty());
    EXPECT_TRUE(Split("").empty());
    EXPECT_TRUE(Split(" \t\r\n").empty());
    EXPECT_TRUE(Split("|").empty());
    EXPECT_TRUE(Split("||||").empty());
}

TEST(ListSplitter, AppendsAtTheEndAndCountsOnlyTheNewFields) {
    Owner owner;
    Fields fields{"kept"};
    EXPECT_EQ(2, SplitFields(owner, ',', "x, y", fields));
    EXPECT_EQ((Fields{"kept", "x", "y"}), fields);
}

// The detail traces name the text as split, with the delimiter added.
TEST(ListSplitter, TracesEachTokenDecision) {
    TraceRecorder trace;
    Split(" a| |b ");
    EXPECT_TRUE(trace.Has(4, "SplitList(a| |b|) :  a --> ADD")) << trace.Dump();
    EXPECT_TRUE(trace.Has(4, "SplitList(a| |b|) :   --> Invalid Length")) << trace.Dump();
    EXPECT_TRUE(trace.Has(4, "SplitList(a| |b|) :  b --> ADD")) << trace.Dump();
    EXPECT_EQ(3u, trace.Texts().size()) << trace.Dump();
}

std::vector<std::string> Chunks(const std::string& content) {
    std::vector<std::string> lines;
    FILE* file = std::tmpfile();
    EXPECT_NE(nullptr, file);
    if (!file)
        return lines;
    std::fwrite(content.data(), 1, content.size(), file);
    std::rewind(file);
    std::string line;
    while (versionlist::ReadLine(file, line))
        lines.push_back(line);
    std::fclose(file);
    return lines;
}

// Fault: a long line read past the chunk buffer, or its tail dropped.
TEST(VersionFileReader, LinesLongerThan1023BytesArriveAsSeveralLines) {
    std::string longLine = std::string(1023, 'a') + std::string(1030, 'b') + "\n";
    auto lines = Chunks(longLine + "next|line\n");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(std::string(1023, 'a'), lines[0]);
    EXPECT_EQ(std::string(1023, 'b'), lines[1]);
    EXPECT_EQ(std::string(7, 'b') + "\n", lines[2]);
    EXPECT_EQ("next|line\n", lines[3]);
}

TEST(VersionFileReader, LastLineWithoutLineEndIsRead) {
    auto lines = Chunks("a|b\nc|d");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("c|d", lines[1]);
    EXPECT_TRUE(Chunks("").empty());
}

} // namespace
