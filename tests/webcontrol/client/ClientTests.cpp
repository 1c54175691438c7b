#include "Fixtures.h"
#include "OmbletClient.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kStartLine = "start /messenger /s:on /user:";

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.Use(testenv::NewDir("client")));
        client.m_strClientDir = standIn.Dir();
    }

    StandIn standIn;
    COmbletClient client;
};

TEST_F(ClientTest, AppPathValuesTheFolderCannotHoldLeaveItEmptyButInstalled) {
    const std::string within = "C:\\" + std::string(109, 'd') + "\\ombletplus.exe";
    ASSERT_EQ(127u, within.size());
    const struct {
        bool present;
        std::string value;
        long installed;
        std::string dir;
    } cases[] = {
        {true, within, 1, within.substr(0, within.rfind('\\'))},
        {true, "C:\\" + std::string(110, 'd') + "\\ombletplus.exe", 1, ""},
        {true, "", 1, ""},
        {true, "ombletplus.exe", 1, ""},
        {false, "", 0, "C:\\earlier"}, // a missing key keeps the earlier folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value.size()) + " " + c.value.substr(0, 20));
        AppPathsEntry::Remove();
        client.m_strClientDir = "C:\\earlier";
        if (c.present) {
            AppPathsEntry entry(c.value);
            EXPECT_EQ(c.installed, client.LocateClient());
        } else {
            EXPECT_EQ(c.installed, client.TavOBInstalled());
        }
        EXPECT_EQ(c.dir, client.m_strClientDir);
    }
}

TEST_F(ClientTest, InstallStartsTheUpdaterWithTheBareConfigurationPath) {
    // The stand-in plays the updater here; it logs its arguments and leaves.
    const std::string system = client.m_szSystemDir;
    SystemFile updater{system + "\\TavUpdate.exe"};
    ASSERT_TRUE(::CopyFileA(standIn.Program().c_str(), updater.path.c_str(), FALSE));
    StandIn::SetNoWindow(true);
    client.TavOmbletInstall();
    EXPECT_TRUE(standIn.WaitForLine("start " + system + "\\TavUpdateInfo.ini")) << standIn.Log();
}

TEST_F(ClientTest, RunningClientIsNeitherStartedNorWaitedFor) {
    ASSERT_TRUE(standIn.Start());
    EXPECT_TRUE(client.EnsureClientRunning());
    EXPECT_EQ(1u, client.m_nWindowLookups);
    EXPECT_EQ(1, client.TavOpenMeetingWindow("", "", ""));
    EXPECT_EQ(3u, client.m_nWindowLookups) << "one look before the send, one for it";
    StandIn::Settle();
    EXPECT_EQ(0, standIn.CountLines("start"));
}

TEST_F(ClientTest, ClientThatNeverComesUpCostsOneStartAndFourLookups) {
    StandIn::SetNoWindow(true);
    client.StoreLogin("kim", "", "pw");
    EXPECT_FALSE(client.EnsureClientRunning());
    EXPECT_EQ(4u, client.m_nWindowLookups);
    ASSERT_TRUE(standIn.WaitForLine(kStartLine + "kim:\"kim\" /p:pw /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    StandIn::Settle();
    EXPECT_EQ(1, standIn.CountLines("start"));
}

TEST_F(ClientTest, StoppedClientIsStartedWithTheStoredLoginThenSent) {
    client.StoreLogin("kim", "Kim Chulsoo", "pw");
    EXPECT_EQ(1, client.TavOpenMeetingWindow("", "", ""));
    EXPECT_EQ("kim", client.m_strUserName) << "an empty name takes the stored ID";
    EXPECT_EQ(standIn.Lines(), (std::vector<std::string>{
                                   kStartLine + "kim:\"kim\" /p:pw /msgrtitle:\"TavWebOmblet\"",
                                   "copydata 120 0 null",
                               }));
}

TEST_F(ClientTest, PayloadBytes) {
    ASSERT_TRUE(standIn.Start());
    EXPECT_EQ(1, client.TavOpenP2PCall("kim", "", "pw", "", ""));
    for (const char* list : {"a,Alice,b", ",,,", ",a,,Alice,", "a, Alice"})
        EXPECT_EQ(1, client.TavOpenMeetingRoom("kim", "Kim", "pw", list)) << list;
    EXPECT_EQ(standIn.Lines(), (std::vector<std::string>{
                                   "copydata 110 4 07 05 08 00",
                                   "copydata 126 14 07 61 05 41 6C 69 63 65 15 62 05 15 08 00",
                                   "copydata 126 3 07 08 00",
                                   "copydata 126 11 07 61 05 41 6C 69 63 65 15 08 00",
                                   "copydata 126 12 07 61 05 20 41 6C 69 63 65 15 08 00",
                               }));
}

TEST_F(ClientTest, LoginThatWouldAddSwitchesStartsNothing) {
    StandIn::SetNoWindow(true);
    client.TavStartOmblet("kim /s:off", "Kim", "pw");
    client.TavStartOmblet("kim", "Kim\" /evil:\"", "pw");
    client.TavStartOmblet("kim", "Kim", "pw\t/x");
    EXPECT_EQ("pw\t/x", client.m_strPassword) << "the login is still stored";
    // The stored login is refused again when the control starts the client itself.
    EXPECT_EQ(0, client.TavOpenMeetingWindow("", "", ""));
    EXPECT_EQ(4u, client.m_nWindowLookups);
    client.TavStartOmblet("kim", "Kim Chulsoo", "ok");
    ASSERT_TRUE(
        standIn.WaitForLine(kStartLine + "kim:\"Kim Chulsoo\" /p:ok /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    StandIn::Settle();
    EXPECT_EQ(1, standIn.CountLines("start")) << standIn.Log();
}

TEST_F(ClientTest, ConferenceKeyThatWouldAddSwitchesJoinsNothing) {
    ASSERT_TRUE(standIn.Start());
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "k /s:off");
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "k\"");
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "room-42");
    ASSERT_TRUE(standIn.WaitForLine("start /messenger /conference:join /key:room-42"))
        << standIn.Log();
    StandIn::Settle();
    EXPECT_EQ(1, standIn.CountLines("start")) << standIn.Log();
}

// The key is checked before the client is started for it: a key that will
// not be joined neither starts the client nor holds the page for seconds.
TEST_F(ClientTest, ConferenceKeyThatWouldAddSwitchesDoesNotStartTheClientFirst) {
    StandIn::SetNoWindow(true);
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "k /s:off");
    EXPECT_EQ(0u, client.m_nWindowLookups);
    StandIn::Settle();
    EXPECT_EQ(0, standIn.CountLines("start")) << standIn.Log();
}

} // namespace
