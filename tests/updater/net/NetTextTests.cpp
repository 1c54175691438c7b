#include "NetText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Which folder a download makes sure of decides where files land.
TEST(LocalFolderOf, OnlyTheBackslashSeparatesAndLeadingOnesGetNoFolderStep) {
    EXPECT_EQ("C:\\Program\\Client\\bin\\", LocalFolderOf("C:\\Program\\Client\\bin\\x.dll"));
    EXPECT_EQ("", LocalFolderOf("x.dll"));
    EXPECT_EQ("", LocalFolderOf("\\\\server\\share\\x.dll"));
    EXPECT_EQ("", LocalFolderOf("C:/Program/x.dll"));
    EXPECT_EQ("sub/dir\\", LocalFolderOf("sub/dir\\x.dll"));
}

} // namespace
