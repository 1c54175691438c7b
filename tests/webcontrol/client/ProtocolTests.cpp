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

TEST(PayloadBytes, OnlyCommasSplitTheList) {
    const std::string expected = std::string("\x07") + "a" + "\x05" + " Alice" + "\x15" + "b;c\td" +
                                 "\x05" + "\x15" + "\x08" + '\0';
    EXPECT_EQ(expected, BuildMeetingRoomPayload("a, Alice,b;c\td"));
}

TEST(ListTokenizer, HighBytesAreDelimitersOfTheirOwnBit) {
    // Bytes above 127 must not fold onto low ones through a signed char.
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), Tokens("a\xA1"
                                                                "b\xFF"
                                                                "c",
                                                                "\xA1\xFF"));
    EXPECT_EQ((std::vector<std::string>{"!a!"}), Tokens("!a!\xA1", "\xA1"));
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), Tokens("x\x01y", std::string("\x01", 1)));
    CListTokenizer list("", std::string("\x1F\x20\x3F\x40\x80\xFF"));
    for (int b = 0; b < 256; ++b) {
        const bool expected =
            b == 0x1F || b == 0x20 || b == 0x3F || b == 0x40 || b == 0x80 || b == 0xFF;
        EXPECT_EQ(expected, list.IsDelimiter(static_cast<unsigned char>(b))) << b;
    }
}

TEST(ListTokenizer, RunsOfDelimitersYieldNoEmptyTokens) {
    EXPECT_EQ((std::vector<std::string>{"ab", "cd"}), Tokens(";,ab,,;cd;", ",;"));
    EXPECT_TRUE(Tokens(",,,", ",").empty());
    EXPECT_EQ((std::vector<std::string>{"whole text"}), Tokens("whole text", ""));
}

TEST(CommandLines, StartCarriesTheLoginByteForByte) {
    EXPECT_EQ("/messenger /s:on /user:kim:\"Kim Chulsoo\" /p:secret /msgrtitle:\"TavWebOmblet\"",
              BuildStartCommand("kim", "Kim Chulsoo", "secret"));
    EXPECT_EQ("/messenger /s:on /user:kim:\"\" /p:pw /msgrtitle:\"TavWebOmblet\"",
              BuildStartCommand("kim", "", "pw"));
    EXPECT_EQ("/messenger /conference:join /key:room-42", BuildJoinCommand("room-42"));
    EXPECT_STREQ("/messenger /s:off", kStopCommand);
}

TEST(InjectedSwitches, BareFieldsRefuseAnythingThatEndsTheArgument) {
    for (const char* bad : {"a b", "a\tb", "a\rb", "a\nb", "a\"b", " ", "\"", "x /s:off"}) {
        EXPECT_FALSE(IsBareArgumentSafe(bad)) << bad;
        EXPECT_FALSE(CanStartWith(bad, "Name", "pw")) << bad;
        EXPECT_FALSE(CanStartWith("id", "Name", bad)) << bad;
    }
}

TEST(InjectedSwitches, QuotedNameRefusesQuotesAndLineBreaksOnly) {
    for (const char* bad : {"a\"b", "\" /evil:\"", "a\rb", "a\nb"})
        EXPECT_FALSE(CanStartWith("id", bad, "pw")) << bad;
    for (const char* good : {"Kim Chulsoo", "a\tb", "김철수", "", "/p:x"})
        EXPECT_TRUE(CanStartWith("id", good, "pw")) << good;
}

TEST(InjectedSwitches, ValuesTheLineCanCarryPassUnchanged) {
    for (const char* good : {"kim", "", "a:b/c", "p@ss!word", "김철수", "a\\b"}) {
        EXPECT_TRUE(IsBareArgumentSafe(good)) << good;
        EXPECT_TRUE(CanStartWith(good, "Name", good)) << good;
    }
    EXPECT_EQ(std::string("/messenger /s:on /user:") + "김:\"이 름\" /p:a\\b" +
                  " /msgrtitle:\"TavWebOmblet\"",
              BuildStartCommand("김", "이 름", "a\\b"));
}

TEST(ForgedFields, EachSeparatorByteIsCaught) {
    for (char sep : {'\x05', '\x07', '\x08', '\x15'}) {
        const std::string text = std::string("a") + sep + "b";
        EXPECT_TRUE(HasSeparatorByte(text.c_str())) << int(sep);
    }
    for (char other : {'\x01', '\x06', '\x09', '\x14', '\x16', ','})
        EXPECT_FALSE(HasSeparatorByte((std::string("a") + other + "b").c_str())) << int(other);
    EXPECT_FALSE(HasSeparatorByte("김철수"));
    EXPECT_FALSE(HasSeparatorByte(nullptr));
}

TEST(StoredLogin, EmptyFieldsKeepOrDeriveTheStoredValues) {
    std::string id, name, password;
    MergeLogin(id, name, password, "", "", "");
    EXPECT_EQ("", id);
    EXPECT_EQ("", name);
    EXPECT_EQ("", password);

    MergeLogin(id, name, password, "kim", "Kim", "pw");
    MergeLogin(id, name, password, "", "", "");
    EXPECT_EQ("kim", id);
    EXPECT_EQ("kim", name) << "an empty name becomes the stored ID";
    EXPECT_EQ("pw", password);

    MergeLogin(id, name, password, "lee", "", "");
    EXPECT_EQ("lee", id);
    EXPECT_EQ("lee", name) << "the name follows the new ID";
    MergeLogin(id, name, password, "", "Lee", "new");
    EXPECT_EQ("lee", id);
    EXPECT_EQ("Lee", name);
    EXPECT_EQ("new", password);
}

TEST(StoredLogin, MergingTheStoredLoginIntoItselfKeepsIt) {
    std::string id = "kim", name = "Kim Chulsoo", password = "pw";
    MergeLogin(id, name, password, id.c_str(), name.c_str(), password.c_str());
    EXPECT_EQ("kim", id);
    EXPECT_EQ("Kim Chulsoo", name);
    EXPECT_EQ("pw", password);
}

TEST(ClientFolder, EverythingBeforeTheLastBackslash) {
    EXPECT_EQ("C:\\Apps\\Omblet", ClientDirFromPath("C:\\Apps\\Omblet\\ombletplus.exe"));
    EXPECT_EQ("", ClientDirFromPath(""));
    EXPECT_EQ("", ClientDirFromPath("ombletplus.exe"));
    EXPECT_EQ("\"C:\\Apps", ClientDirFromPath("\"C:\\Apps\\ombletplus.exe\""));
}

} // namespace
