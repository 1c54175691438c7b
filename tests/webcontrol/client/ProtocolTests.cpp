#include "ClientCommand.h"
#include "ListTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const std::string& text, const std::string& delimiters) {
    CListTokenizer list(text, delimiters);
    std::vector<std::string> tokens;
    std::string token = "junk";
    while (list.NextToken(token))
        tokens.push_back(token);
    EXPECT_EQ("", token) << "a finished list leaves out empty";
    return tokens;
}

TEST(ListTokenizer, HighBytesAreDelimitersOfTheirOwnBit) {
    // Bytes above 127 must not fold onto low ones through a signed char.
    EXPECT_EQ((std::vector<std::string>{"x", "y", "z"}), Tokens("x\xA1y\xFFz", "\xA1\xFF"));
    EXPECT_EQ((std::vector<std::string>{"!a!"}), Tokens("!a!\xA1", "\xA1"));
}

// Each way a value could end its argument early and add switches of its own;
// the name stands between quotes, so blanks and tabs are its own.
TEST(InjectedSwitches, OnlyValuesThatCannotEndTheirArgumentStart) {
    const struct {
        const char* id;
        const char* name;
        const char* password;
        bool starts;
    } logins[] = {
        {"kim /s:off", "Kim", "pw", false},
        {"k\"im", "Kim", "pw", false},
        {"kim", "Kim", "pw\t/s:off", false},
        {"kim", "Kim\" /evil:\"", "pw", false},
        {"kim", "Kim\\", "pw", false}, // the backslash would escape the closing quote
        {"kim", "Kim\r\n/evil", "pw", false},
        {"김철수", "Kim\tChulsoo /p:x", "p@ss:/\\!", true},
        {"", "", "", true},
    };
    for (const auto& l : logins)
        EXPECT_EQ(l.starts, CanStartWith(l.id, l.name, l.password)) << l.id << "|" << l.name;
}

} // namespace
