#include "Encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Faults: the padded tail decoded into wrong or extra bytes, a value with
// blanks, line breaks or misplaced padding taken for a key.
TEST(Base64, PaddedTailsDecodeExactlyAndAnythingElseIsRefused) {
    struct {
        const char* text;
        bool ok;
        std::string bytes;
    } cases[] = {
        {"TWFu", true, "Man"}, {"TWE=", true, "Ma"},
        {"TQ==", true, "M"},   {"/+8A", true, std::string("\xff\xef\x00", 3)},
        {"", false, ""},       {"TWF", false, ""},
        {"TQ=A", false, ""},   {"T===", false, ""},
        {"TWFu\n", false, ""}, {"TW u", false, ""},
    };
    for (const auto& c : cases) {
        std::string bytes;
        EXPECT_EQ(c.ok, encoding::DecodeBase64(c.text, bytes)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.bytes, bytes) << c.text;
        }
    }
}

} // namespace
