#include "ClientCommand.h"
#include "ClientPayload.h"
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
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), Tokens("a\xA1"
                                                                "b\xFF"
                                                                "c",
                                                                "\xA1\xFF"));
    EXPECT_EQ((std::vector<std::string>{"!a!"}), Tokens("!a!\xA1", "\xA1"));
}

TEST(InjectedSwitches, OnlyValuesThatCannotEndTheirArgumentStart) {
    for (const char* bad : {"a b", "a\tb", "a\rb", "a\nb", "a\"b"}) {
        EXPECT_FALSE(CanStartWith(bad, "Name", "pw")) << bad;
        EXPECT_FALSE(CanStartWith("id", "Name", bad)) << bad;
    }
    // The name is quoted: blanks and tabs are its own, quotes and line breaks
    // are not, nor a backslash that would escape the closing quote.
    for (const char* bad : {"\" /evil:\"", "a\rb", "a\nb", "Kim\\"})
        EXPECT_FALSE(CanStartWith("id", bad, "pw")) << bad;
    EXPECT_TRUE(CanStartWith("김철수", "Kim\tChulsoo /p:x", "p@ss:/\\!"));
    EXPECT_TRUE(CanStartWith("", "", ""));
    EXPECT_EQ("/messenger /s:on /user:김:\"이 름\" /p:a\\b /msgrtitle:\"TavWebOmblet\"",
              BuildStartCommand("김", "이 름", "a\\b"));
}

TEST(ForgedFields, EachSeparatorByteIsCaught) {
    for (char sep : {'\x05', '\x07', '\x08', '\x15'})
        EXPECT_TRUE(HasSeparatorByte((std::string("a") + sep + "b").c_str())) << int(sep);
    for (char other : {'\x06', '\x14', '\x16', ','})
        EXPECT_FALSE(HasSeparatorByte((std::string("a") + other + "b").c_str())) << int(other);
    EXPECT_FALSE(HasSeparatorByte("김철수"));
    EXPECT_FALSE(HasSeparatorByte(nullptr));
}

TEST(StoredLogin, EmptyFieldsKeepOrDeriveTheStoredValues) {
    std::string id, name, password;
    auto merge = [&](const char* newId, const char* newName, const char* newPassword) {
        MergeLogin(id, name, password, newId, newName, newPassword);
        return std::vector<std::string>{id, name, password};
    };
    merge("kim", "Kim", "pw");
    // An empty name becomes the stored ID, and follows a new one.
    EXPECT_EQ((std::vector<std::string>{"kim", "kim", "pw"}), merge("", "", ""));
    EXPECT_EQ((std::vector<std::string>{"lee", "lee", "pw"}), merge("lee", "", ""));
    EXPECT_EQ((std::vector<std::string>{"lee", "Lee", "new"}), merge("", "Lee", "new"));
    // The stored login merged into itself stays as it is.
    EXPECT_EQ((std::vector<std::string>{"lee", "Lee", "new"}),
              merge(id.c_str(), name.c_str(), password.c_str()));
}

} // namespace
