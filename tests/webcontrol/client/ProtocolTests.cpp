#include "ClientCommand.h"
#include "FullPath.h"
#include "ListTokenizer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ListTokenizer, HighBytesAreDelimitersOfTheirOwnBit) {
    // Bytes above 127 must not fold onto low ones ('!' is 0xA1's low half).
    CListTokenizer list("!a!\xA1x\xFFy", "\xA1\xFF");
    std::string token;
    for (const char* expected : {"!a!", "x", "y"}) {
        ASSERT_TRUE(list.NextToken(token));
        EXPECT_EQ(expected, token);
    }
    EXPECT_FALSE(list.NextToken(token));
    EXPECT_EQ("", token) << "a finished list leaves out empty";
}

// Each way a value could end its argument early and add switches of its
// own: ID, name (between quotes) and password, and what stays allowed.
TEST(InjectedSwitches, OnlyValuesThatCannotEndTheirArgumentStart) {
    EXPECT_FALSE(CanStartWith("kim /s:off", "Kim", "pw"));
    EXPECT_FALSE(CanStartWith("k\"im", "Kim", "pw"));
    EXPECT_FALSE(CanStartWith("kim", "Kim\" /evil:\"", "pw"));
    EXPECT_FALSE(CanStartWith("kim", "Kim\\", "pw")); // the backslash escapes the closing quote
    EXPECT_FALSE(CanStartWith("kim", "Kim\r\n/evil", "pw"));
    EXPECT_FALSE(CanStartWith("kim", "Kim", "pw\t/s:off"));
    EXPECT_TRUE(CanStartWith("김철수", "Kim\tChulsoo /p:x", "p@ss:/\\!"));
    EXPECT_TRUE(CanStartWith("", "", ""));
}

// The client program's path as the App Paths folder makes it: only one that
// names its drive or server and share may be started.
TEST(ClientProgramPath, OnlyPathsThatNameTheirDriveOrShareAreFull) {
    for (const char* full :
         {"C:\\ombletplus.exe", "d:\\Apps\\ombletplus.exe", "\\\\server\\share\\ombletplus.exe"})
        EXPECT_TRUE(IsFullPath(full)) << full;
    for (const char* guessed :
         {"\\ombletplus.exe", "ombletplus.exe", "Apps\\ombletplus.exe", "..\\ombletplus.exe",
          "C:ombletplus.exe", "\\\\server\\ombletplus.exe", "\\\\\\share\\ombletplus.exe",
          "\\\\server\\\\ombletplus.exe", "\"C:\\Apps\\ombletplus.exe"})
        EXPECT_FALSE(IsFullPath(guessed)) << guessed;
}

} // namespace
