// The serial a signed list carries.
#include "VersionList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Faults: a missing or malformed serial read as some number (0 would let any
// older list in), a serial not at a line start taken, the first one not the
// one that counts, an overflow wrapping round.
TEST(VersionListSerial, FirstSerialLineCountsAndOnlyAWholeNumberIsASerial) {
    using namespace versionlist;
    const struct {
        const char* text;
        SerialResult result;
        unsigned long long serial;
    } cases[] = {
        {"; list\r\n;serial= 42 \r\na|b\r\n", SERIAL_FOUND, 42},
        {"a|b\n;serial=7\n;serial=9\n", SERIAL_FOUND, 7},
        {";serial=18446744073709551615", SERIAL_FOUND, 18446744073709551615ULL},
        {";serial=18446744073709551616\n", SERIAL_INVALID, 0},
        {";serial=12x\n;serial=13\n", SERIAL_INVALID, 0},
        {";serial=\n", SERIAL_INVALID, 0},
        {";serial=-1\n", SERIAL_INVALID, 0},
        {"; serial=5\n a;serial=6\n;Serial=7\n", SERIAL_MISSING, 0},
    };
    for (const auto& c : cases) {
        unsigned long long serial = 0;
        EXPECT_EQ(c.result, FindSerial(c.text, serial)) << c.text;
        EXPECT_EQ(c.serial, serial) << c.text;
    }
}

// Faults: an expiry in another form, or a date that does not exist, read as
// some moment (a garbled one must refuse the list, not let it live for ever);
// the days before it counted wrong; a comment not at a line start, or a later
// one, taken for the first.
TEST(VersionListComments, ListPathAndExpiryAreReadAsWritten) {
    const struct {
        const char* text;
        bool valid;
        long long seconds;
    } times[] = {
        {"2026-12-07T04:44:45Z", true, 1796618685}, {"2024-02-29T23:59:59Z", true, 1709251199},
        {"1970-01-01T00:00:00Z", true, 0},          {"2025-02-29T00:00:00Z", false, 0},
        {"2026-13-01T00:00:00Z", false, 0},         {"2026-12-07 04:44:45Z", false, 0},
        {"2026-12-07T04:44:45", false, 0},          {"2026-12-07T04:44:45+09:00", false, 0}};
    for (const auto& t : times) {
        long long seconds = 0;
        EXPECT_EQ(t.valid, versionlist::ParseUtcTime(t.text, seconds)) << t.text;
        EXPECT_EQ(t.seconds, seconds) << t.text;
    }
    std::string value;
    EXPECT_TRUE(versionlist::FindComment("a|b\r\n ;list=/x\r\n;list= /a b.ver \r\n;list=/c\r\n",
                                         "list", value));
    EXPECT_EQ("/a b.ver", value);
    EXPECT_FALSE(versionlist::FindComment("; list=/x\n;lists=/y\n", "list", value));
}

// Faults: a block map field taken for the option letters or from the option
// field (an older updater reads that field as options, so a newer one must
// too), a later field for the first, a malformed digest taken, the fields
// left from the line before.
TEST(VersionListBlocks, MapFieldsAreReadFromTheFourthFieldOn) {
    class Owner : public CTraceBase {
    } owner;
    const std::string hex = "ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef0123456789";
    const std::string lower = "abcdef0123456789abcdef0123456789abcdef0123456789abcdef0123456789";
    const struct {
        std::string line, option, blocks, blocksSha256;
    } cases[] = {
        {"a|b|-|sha256=" + lower + "|size=3|blocks=/m/b.blocks|blocks-sha256=" + hex, "-",
         "/m/b.blocks", lower},
        {"a|b|E|blocks-sha256=" + lower +
             "|blocks=/x|blocks=/y|blocks-sha256=" + std::string(64, 'f'),
         "E", "/x", lower},
        {"a|b|blocks=/x|blocks-sha256=" + hex.substr(1), "blocks=/x", "", ""},
        {"a|b|R|blocks=|blocks-sha256=" + lower + "0|Blocks=/x", "R", "", ""},
    };
    ModuleRecord record;
    for (const auto& c : cases) {
        ASSERT_TRUE(versionlist::ParseLine(owner, c.line, record)) << c.line;
        EXPECT_EQ(c.option, record.updateOption) << c.line;
        EXPECT_EQ(c.blocks, record.blocks) << c.line;
        EXPECT_EQ(c.blocksSha256, record.blocksSha256) << c.line;
    }
}

} // namespace
