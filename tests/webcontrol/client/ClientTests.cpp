#include "Fixtures.h"
#include "OmbletClient.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kStartLine = "start /messenger /s:on /user:";

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(standIn.Install(testenv::NewDir("client"))); }

    // Waits for the client window that a start has to bring up.
    void StartStandIn() {
        client.m_strClientDir = standIn.Dir();
        client.StartClient("kim", "Kim", "pw");
        ASSERT_TRUE(standIn.WaitForWindow()) << standIn.Log();
        standIn.ClearLog();
    }

    StandIn standIn;
    COmbletClient client;
};

TEST_F(ClientTest, FullAppPathGivesTheFolderAndStartsThatProgram) {
    AppPathsEntry entry(standIn.Dir() + "\\ombletplus.exe");
    EXPECT_EQ(1, client.TavOBInstalled());
    EXPECT_EQ(standIn.Dir(), client.m_strClientDir);

    client.TavStartOmblet("kim", "Kim Chulsoo", "secret");
    ASSERT_TRUE(standIn.WaitForLine(
        "start /messenger /s:on /user:kim:\"Kim Chulsoo\" /p:secret /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    ASSERT_TRUE(standIn.WaitForWindow());
    client.TavStopOmblet();
    EXPECT_TRUE(standIn.WaitForLine("start /messenger /s:off")) << standIn.Log();
    EXPECT_TRUE(standIn.WaitForLine("closed")) << standIn.Log();
}

TEST_F(ClientTest, UnusableAppPathStillCountsAsInstalledWithNoFolder) {
    const std::string within = "C:\\" + std::string(109, 'd') + "\\ombletplus.exe";
    ASSERT_EQ(127u, within.size());
    {
        AppPathsEntry entry(within);
        EXPECT_EQ(1, client.LocateClient());
        EXPECT_EQ(within.substr(0, within.rfind('\\')), client.m_strClientDir);
    }
    for (const std::string& value : {std::string(), std::string("ombletplus.exe"),
                                     "C:\\" + std::string(110, 'd') + "\\ombletplus.exe"}) {
        client.m_strClientDir = "C:\\earlier";
        AppPathsEntry entry(value);
        EXPECT_EQ(1, client.LocateClient()) << value.size();
        EXPECT_EQ("", client.m_strClientDir) << value.size();
    }
}

TEST_F(ClientTest, MissingAppPathKeyKeepsTheEarlierFolder) {
    AppPathsEntry::Remove();
    client.m_strClientDir = "C:\\earlier";
    EXPECT_EQ(0, client.TavOBInstalled());
    EXPECT_EQ("C:\\earlier", client.m_strClientDir);
}

TEST_F(ClientTest, InstallStartsTheUpdaterWithTheBareConfigurationPath) {
    // The stand-in plays the updater here; it logs its arguments and leaves.
    SystemFile updater(std::string(client.m_szSystemDir) + "\\TavUpdate.exe");
    ASSERT_TRUE(updater.CopyFrom(standIn.Program()));
    standIn.SetNoWindow(true);
    client.TavOmbletInstall();
    EXPECT_TRUE(
        standIn.WaitForLine("start " + std::string(client.m_szSystemDir) + "\\TavUpdateInfo.ini"))
        << standIn.Log();
}

TEST_F(ClientTest, RunningClientIsNeitherStartedNorWaitedFor) {
    StartStandIn();
    COmbletClient page;
    page.m_strClientDir = standIn.Dir();
    EXPECT_TRUE(page.EnsureClientRunning());
    EXPECT_EQ(1u, page.m_nWindowLookups);
    EXPECT_EQ(1, page.TavOpenMeetingWindow("", "", ""));
    EXPECT_EQ(3u, page.m_nWindowLookups) << "one look before the send, one for it";
    StandIn::Settle();
    EXPECT_EQ(0, standIn.CountLines("start"));
}

TEST_F(ClientTest, ClientThatNeverComesUpCostsOneStartAndFourLookups) {
    standIn.SetNoWindow(true);
    client.m_strClientDir = standIn.Dir();
    client.StoreLogin("kim", "", "pw");
    EXPECT_FALSE(client.EnsureClientRunning());
    EXPECT_EQ(4u, client.m_nWindowLookups);
    ASSERT_TRUE(standIn.WaitForLine(kStartLine + "kim:\"kim\" /p:pw /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    standIn.Settle();
    EXPECT_EQ(1, standIn.CountLines("start"));
}

TEST_F(ClientTest, MissingClientProgramGivesZeroAndSendsNothing) {
    client.m_strClientDir = testenv::NewDir("empty");
    EXPECT_EQ(0, client.TavOpenP2PCall("kim", "Kim", "pw", "lee", "Lee"));
    EXPECT_EQ(4u, client.m_nWindowLookups);
    EXPECT_EQ(0, client.SendToClient(110, std::string("x", 2)));
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "room");
    EXPECT_EQ(9u, client.m_nWindowLookups) << "the join gives up with the start";
}

TEST_F(ClientTest, StoppedClientIsStartedWithTheStoredLogin) {
    client.m_strClientDir = standIn.Dir();
    client.StoreLogin("kim", "Kim Chulsoo", "pw");
    EXPECT_EQ(1, client.TavOpenMeetingWindow("", "", ""));
    EXPECT_EQ("kim", client.m_strUserName) << "an empty name takes the stored ID";
    EXPECT_EQ(1, standIn.CountLines(kStartLine + "kim:\"kim\" /p:pw /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    EXPECT_EQ(1, standIn.CountLines("copydata 120 0 null")) << standIn.Log();
}

TEST_F(ClientTest, PersonToPersonPayloadBytes) {
    StartStandIn();
    EXPECT_EQ(1, client.TavOpenP2PCall("kim", "Kim", "pw", "kim", "Kim"));
    EXPECT_EQ(1, client.TavOpenP2PCall("kim", "", "pw", "", ""));
    EXPECT_EQ("kim", client.m_strUserName);
    EXPECT_EQ(standIn.Lines(), (std::vector<std::string>{
                                   "copydata 110 10 07 6B 69 6D 05 4B 69 6D 08 00",
                                   "copydata 110 4 07 05 08 00",
                               }));
}

TEST_F(ClientTest, MeetingRoomPayloadBytes) {
    StartStandIn();
    for (const char* list : {"a,Alice,b,Bob", "a,Alice,b", "", ",,,", ",a,,Alice,", "a, Alice"})
        EXPECT_EQ(1, client.TavOpenMeetingRoom("kim", "Kim", "pw", list)) << list;
    EXPECT_EQ(standIn.Lines(),
              (std::vector<std::string>{
                  "copydata 126 17 07 61 05 41 6C 69 63 65 15 62 05 42 6F 62 15 08 00",
                  "copydata 126 14 07 61 05 41 6C 69 63 65 15 62 05 15 08 00",
                  "copydata 126 3 07 08 00",
                  "copydata 126 3 07 08 00",
                  "copydata 126 11 07 61 05 41 6C 69 63 65 15 08 00",
                  "copydata 126 12 07 61 05 20 41 6C 69 63 65 15 08 00",
              }));
}

TEST_F(ClientTest, MeetingWindowMessageHasNoPayload) {
    StartStandIn();
    EXPECT_EQ(1, client.TavOpenMeetingWindow("kim", "Kim", "pw"));
    EXPECT_EQ(standIn.Lines(), std::vector<std::string>{"copydata 120 0 null"});
}

TEST_F(ClientTest, SeparatorBytesInUsersAreNeverSent) {
    StartStandIn();
    for (const char* forged : {"a\x05"
                               "b",
                               "a\x07", "\x08", "x\x15y"}) {
        EXPECT_EQ(0, client.TavOpenP2PCall("kim", "Kim", "pw", forged, "Lee")) << int(forged[1]);
        EXPECT_EQ(0, client.TavOpenP2PCall("kim", "Kim", "pw", "lee", forged));
        EXPECT_EQ(
            0, client.TavOpenMeetingRoom("kim", "Kim", "pw", (std::string("a,") + forged).c_str()));
    }
    EXPECT_EQ(1, client.TavOpenP2PCall("kim", "Kim", "pw", "lee", "이순신"));
    const auto lines = standIn.Lines();
    ASSERT_EQ(1u, lines.size()) << standIn.Log();
    EXPECT_EQ(0u, lines[0].find("copydata 110 ")) << lines[0];
}

TEST_F(ClientTest, LoginThatWouldAddSwitchesStartsNothing) {
    client.m_strClientDir = standIn.Dir();
    standIn.SetNoWindow(true);
    client.TavStartOmblet("kim /s:off", "Kim", "pw");
    client.TavStartOmblet("kim", "Kim\" /evil:\"", "pw");
    client.TavStartOmblet("kim", "Kim\r\n", "pw");
    client.TavStartOmblet("kim", "Kim", "pw\t/x");
    EXPECT_EQ("pw\t/x", client.m_strPassword) << "the login is still stored";
    // The stored login is refused again when the control starts the client itself.
    EXPECT_EQ(0, client.TavOpenMeetingWindow("", "", ""));
    EXPECT_EQ(4u, client.m_nWindowLookups);
    client.TavStartOmblet("kim", "Kim Chulsoo", "ok");
    ASSERT_TRUE(
        standIn.WaitForLine(kStartLine + "kim:\"Kim Chulsoo\" /p:ok /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    standIn.Settle();
    EXPECT_EQ(1, standIn.CountLines("start")) << standIn.Log();
}

TEST_F(ClientTest, ConferenceKeyThatWouldAddSwitchesJoinsNothing) {
    StartStandIn();
    for (const char* key : {"k /s:off", "k\"", "k\tx", "k\n"})
        client.TavIntoMeetingRoom("kim", "Kim", "pw", key);
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "room-42");
    ASSERT_TRUE(standIn.WaitForLine("start /messenger /conference:join /key:room-42"))
        << standIn.Log();
    standIn.Settle();
    EXPECT_EQ(1, standIn.CountLines("start")) << standIn.Log();
}

} // namespace
