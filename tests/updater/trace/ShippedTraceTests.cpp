#include "AULMgr.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

namespace {

bool AnyLogIn(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((dir + "\\*.log").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(find);
    return true;
}

TEST(ShippedTrace, ObjectsWriteNoLogFileAnywhere) {
    std::string dir = testenv::NewDir("nolog");
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    {
        CAULMgr manager;
        manager.m_downloader.SetLoginInfo("127.0.0.1", 3, 1, "", "");
        manager.m_downloader.Connect();   // HTTP connects lazily: handles open, nothing sent
        manager.Trace(1, "%s %d %s", 42); // arguments that do not match: never formatted
    }
    EXPECT_FALSE(AnyLogIn(dir));
    EXPECT_FALSE(AnyLogIn(testenv::BinDir()));
    EXPECT_FALSE(testenv::FileExists(dir + "\\NetDownLoader.log"));
    EXPECT_FALSE(testenv::FileExists(testenv::BinDir() + "\\trace_shipped_test.log"));
}

TEST(ShippedTrace, ObjectsCarryTheirNamesAndLevelZero) {
    CAULMgr manager;
    EXPECT_STREQ("CAULMgr", manager.ClassName());
    EXPECT_STREQ("CNetDownLoader", manager.m_downloader.ClassName());
    EXPECT_EQ(&manager, manager.m_downloader.m_pOwner);
}

TEST(ShippedTrace, KoreanTextsAreCodePage949Bytes) {
    // "초기화 합니다." as the desktops' code page spells it.
    EXPECT_STREQ("\xC3\xCA\xB1\xE2\xC8\xAD \xC7\xD5\xB4\xCF\xB4\xD9.", StatusText(0));
    EXPECT_EQ(949u, ::GetACP());
}

} // namespace
