// The whole road: a page finds no client, has the real updater install it
// from a loopback web server, then logs in, calls, opens a room, joins and
// stops, all through the registered control.

#include "Fixtures.h"
#include "OmbletClient.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(RoadTest, PageInstallsTheClientAndDrivesIt) {
    RegisteredControl control;
    ASSERT_TRUE(control.ok);
    AppPathsEntry::Remove();
    const std::string web = testenv::NewDir("web");
    const std::string installed = testenv::NewDir("installed");
    const std::string client = installed + "\\ombletplus.exe";
    ASSERT_TRUE(::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(),
                            (web + "\\ombletplus.exe").c_str(), FALSE));
    ASSERT_TRUE(testenv::WriteFile(web + "\\version.txt", "; client of the web control\r\n" +
                                                              client +
                                                              " | /ombletplus.exe | E\r\n"));
    FixtureServer server = FixtureServer::Nginx(web);
    ASSERT_TRUE(server.Ok()) << server.Error();

    const std::string system = COmbletClient().m_szSystemDir;
    SystemFile updater{system + "\\TavUpdate.exe"};
    ASSERT_TRUE(
        ::CopyFileA((testenv::BinDir() + "\\TavUpdate.exe").c_str(), updater.path.c_str(), FALSE));
    SystemFile config{system + "\\TavUpdateInfo.ini"};
    ASSERT_TRUE(testenv::WriteFile(
        config.path, "[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=HTTP\r\nRemote Port=" +
                         std::to_string(server.Port()) +
                         "\r\nLogin Name=\r\nLogin Password=\r\n"
                         "Remote Version File=/version.txt\r\n[LOCAL]\r\nLocal Version File=" +
                         testenv::ScratchDir() + "\\version.txt\r\nDefault Exec File=\r\n"));
    StandIn standIn;
    standIn.Use(installed, false);

    EXPECT_EQ(RunPage("WScript.Echo(o.TavOBInstalled());\r\no.TavOmbletInstall();\r\n"
                      "WScript.Echo(\"done\");\r\n"),
              (std::vector<std::string>{"0", "done"}));
    // The updater's pass downloads the client and starts it (marked E).
    ASSERT_TRUE(standIn.WaitForLine("start ")) << standIn.Log();
    ASSERT_TRUE(standIn.WaitForWindow());
    EXPECT_TRUE(testenv::FileExists(client));
    EXPECT_LE(1, server.CountRequests("GET /ombletplus.exe"))
        << testenv::ReadFile(server.LogPath());

    AppPathsEntry entry(client);
    EXPECT_EQ(RunPage(R"(
WScript.Echo(o.TavOBInstalled());
o.TavStartOmblet("kim", "Kim Chulsoo", "secret");
WScript.Echo(o.TavOpenP2PCall("kim", "Kim Chulsoo", "secret", "lee", "Lee"));
WScript.Echo(o.TavOpenMeetingRoom("kim", "Kim Chulsoo", "secret", "lee,Lee,park,Park"));
o.TavIntoMeetingRoom("kim", "Kim Chulsoo", "secret", "room-42");
WScript.Echo("done");
)"),
              (std::vector<std::string>{"1", "1", "1", "done"}));
    EXPECT_TRUE(standIn.WaitForLine(
        "start /messenger /s:on /user:kim:\"Kim Chulsoo\" /p:secret /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    EXPECT_EQ(1, standIn.CountLines("copydata 110 10 07 6C 65 65 05 4C 65 65 08 00"))
        << standIn.Log();
    EXPECT_EQ(1, standIn.CountLines("copydata 126 21 07 6C 65 65 05 4C 65 65 15 70 61 72 6B 05 "
                                    "50 61 72 6B 15 08 00"))
        << standIn.Log();
    EXPECT_TRUE(standIn.WaitForLine("start /messenger /conference:join /key:room-42"))
        << standIn.Log();

    EXPECT_EQ(RunPage("o.TavOBInstalled();\r\no.TavStopOmblet();\r\nWScript.Echo(\"done\");\r\n"),
              std::vector<std::string>{"done"});
    EXPECT_TRUE(standIn.WaitForLine("start /messenger /s:off")) << standIn.Log();
    EXPECT_TRUE(standIn.WaitForLine("closed")) << standIn.Log();
}

} // namespace
