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

} // namespace
