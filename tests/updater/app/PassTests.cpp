#include "PassExitCode.h"
#include "PassFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <ctime>
#include <optional>

namespace {

const char kNothingToRun[] = "ERROR, 실행할 모듈도  기본 실행 파일도 없습니다";

// Nothing to start: the configuration file named is missing, and one in the
// working folder names a program that a fallback to it would start. Faults:
// no box, or the window (showing the program's version from its own resource
// and the launch stage, 7 of 8) gone before the box is dismissed.
TEST_F(PassFixture, NothingToStartShowsTheOnlyBoxAndTheWindowWaitsBehindIt) {
    ASSERT_TRUE(testenv::WriteFile(workDir + "\\TavUpdateInfo.ini",
                                   "[LOCAL]\r\nDefault Exec File=" +
                                       Copy("app_fixture_recorder.exe", Installed("c.exe"))));
    ASSERT_TRUE(app.Start(workDir, workDir + "\\missing.ini"));
    HWND box = app.WaitDialog(
        [](HWND h) { return ::FindWindowExA(h, nullptr, "Static", kNothingToRun) != nullptr; }, 60);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("TavUpdate", WindowText(box));
    HWND main = app.WaitDialog([](HWND h) { return ::GetDlgItem(h, 1001) != nullptr; }, 5);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(kTitle, WindowText(main));
    // The launch stage, in code page 949 bytes: text compiled in another code
    // page would compare equal with a literal of this file.
    EXPECT_EQ("\xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5\xC0\xBB \xBD\xC7\xC7\xE0\xC7\xD5\xB4\xCF\xB4\xD9.",
              ItemText(main, 1001));
    EXPECT_EQ(7, ::SendDlgItemMessageA(main, 1000, PBM_GETPOS, 0, 0));
    EXPECT_EQ(8, ::SendDlgItemMessageA(main, 1000, PBM_GETRANGE, FALSE, 0));
    Settle(main);
    EXPECT_TRUE(::IsWindow(main));
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(EXIT_NO_CONFIG, app.ExitCode(30));
}

// A stage that fails skips the stages after it up to the launch, which still
// runs: the default program starts, as nothing was listed, and the window
// closes; the exit code names the stage. A list from an earlier pass names a
// program that must not start.
class FailedStageTest : public PassFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        Copy("app_fixture_recorder.exe", Installed("default.exe"));
        Copy("app_fixture_recorder.exe", Installed("listed.exe"));
        Copy("app_fixture_recorder.exe", Served("listed.exe"));
        ASSERT_TRUE(testenv::WriteFile(workDir + "\\TavUpdate.ver", listed));
    }
    // The configuration is the working folder's TavUpdateInfo.ini.
    void ExpectOnlyTheLaunch(const std::string& localList, const std::string& arguments,
                             int exitCode = EXIT_NO_LIST, const std::string& servers = "") {
        ASSERT_TRUE(testenv::WriteFile(
            workDir + "\\TavUpdateInfo.ini",
            servers.empty() ? Config("HTTP", port, Installed("default.exe"), localList)
                            : Config("HTTP", port, Installed("default.exe"), localList, servers)));
        ASSERT_TRUE(app.Start(workDir, arguments));
        ASSERT_EQ(exitCode, app.ExitCode(90));
        ExpectStartedOnce(Installed("default.exe"));
        EXPECT_EQ("", testenv::ReadFile(Installed("listed.exe") + ".ran"));
        EXPECT_EQ(0, server.CountRequests("/listed.exe"));
        if (!policy)
            ExpectNoLogFiles();
    }

    std::optional<LogPolicyValues> policy;

    const std::string listed = Installed("listed.exe") + " | /listed.exe | E\r\n";
    FixtureServer server = FixtureServer::Nginx(serverDir);
    int port = server.Port();
};

// Nobody listens on the port.
TEST_F(FailedStageTest, ConnectServer) {
    server.Stop();
    ExpectOnlyTheLaunch("", "", EXIT_NO_SERVER);
}

// Mirrors: nothing listens at the first address of the set, so the list and
// the module come from the next. Faults: the value taken as one host name, no
// next server tried, the pass ending as one that reached no server.
TEST_F(FailedStageTest, NextServerWhenTheFirstCannotBeReached) {
    ASSERT_TRUE(testenv::WriteFile(Served("m.bin"), "from the mirror"));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"),
                                   listed + Installed("m.bin") + " | /m.bin | F\r\n"));
    ASSERT_TRUE(testenv::WriteFile(
        workDir + "\\pass.ini",
        Config("HTTP", port, "", "", "Remote Address= 127.0.0.2 ,127.0.0.1\r\n")));
    ASSERT_TRUE(app.Start(workDir, workDir + "\\pass.ini"));
    EXPECT_EQ(EXIT_PASS_OK, app.ExitCode(90));
    EXPECT_EQ("from the mirror", testenv::ReadFile(Installed("m.bin")));
    ExpectStartedOnce(Installed("listed.exe"));
}

// No server of the set reached: exit code 3, as for one server; one that
// answered without a list (404) makes it 4, though the last one was not
// reached. Fault: the last server alone deciding what the pass met.
TEST_F(FailedStageTest, NoServerOfTheSetReached) {
    const std::string servers = "Remote Address=127.0.0.1, 127.0.0.2\r\n";
    ExpectOnlyTheLaunch("", "", EXIT_NO_LIST, servers);
    ASSERT_TRUE(::DeleteFileA((Installed("default.exe") + ".ran").c_str()));
    server.Stop();
    ExpectOnlyTheLaunch("", "", EXIT_NO_SERVER, servers);
}

// No list on the server, no argument. Fault: the earlier pass's list read.
TEST_F(FailedStageTest, GetVersionInfo) {
    ExpectOnlyTheLaunch("", "");
}

// With the administrator's policy at level 1, both classes write their error
// lines, and nothing else, to the file it names (its variable expanded, its
// folder made).
TEST_F(FailedStageTest, PolicyLogsTheErrorsOfTheFailedStage) {
    const std::string dir = testenv::NewDir("log") + "\\made";
    ASSERT_TRUE(::SetEnvironmentVariableA("TAV_TEST_LOG", dir.c_str()));
    policy.emplace("SOFTWARE\\Tav\\TavUpdate", 1, "%TAV_TEST_LOG%\\pass.log");
    ExpectOnlyTheLaunch("", "");
    const std::vector<std::string> entries = testenv::LogEntries(dir + "\\pass.log");
    const std::string failed = "CAULMgr 1 GetVersionInfo : DownloadFile(/TavUpdate.ver->" +
                               workDir + "\\TavUpdate.ver) ERROR";
    EXPECT_EQ(1, std::count(entries.begin(), entries.end(), failed));
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const std::string& e) {
        return e.rfind("CNetDownLoader 1 ", 0) == 0;
    }));
    for (const std::string& entry : entries)
        EXPECT_TRUE(entry.rfind("CAULMgr 1 ", 0) == 0 || entry.rfind("CNetDownLoader 1 ", 0) == 0)
            << entry;
}

// The list arrives where the runtime cannot open it, past MAX_PATH. An empty
// first argument is no argument; a second one is ignored.
TEST_F(FailedStageTest, ParseVersionInfo) {
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), listed));
    const std::string list = workDir + "\\" + std::string(250 - workDir.size(), 'v') + "\\" +
                             std::string(20, 'l') + ".ver";
    ExpectOnlyTheLaunch(list, "\"\" Z:\\nowhere\\other.ini");
    std::wstring received = L"\\\\?\\";
    for (char c : list)
        received += static_cast<wchar_t>(c);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(received.c_str()));
}

// A list of comments only.
TEST_F(FailedStageTest, CompareVersionInfo) {
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), "; nothing to update\r\n"));
    ExpectOnlyTheLaunch("", workDir + "\\TavUpdateInfo.ini");
    EXPECT_EQ(1, server.CountRequests("GET /TavUpdate.ver "));
}

// A pass over each transport that fetches: a missing program marked E, a
// missing library marked R and a forced module, named with a blank, whose
// local copy is newer. Each lands whole, the library is registered once, the
// program starts once. Faults: a name with a blank lost to an FTP listing,
// passive mode not asked for from a server that refuses active mode, HTTPS
// read as plain HTTP.
class FetchTest : public PassFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(FetchTest, ModulesAreFetchedRegisteredAndStarted) {
    const std::string client = Copy("app_fixture_recorder.exe", Served("client.exe"));
    const std::string control = Copy("app_fixture_regserver.dll", Served("control.dll"));
    ASSERT_TRUE(testenv::WriteFile(Served("data file.bin"), ScriptedBody(300000)));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"),
                                   Installed("client.exe") + "|/client.exe|E\n" +
                                       Installed("control.dll") + "|/control.dll|R\n" +
                                       Installed("data.bin") + "|/data file.bin|F\n"));
    ASSERT_TRUE(testenv::WriteFile(Installed("data.bin"), "local, newer"));
    ASSERT_TRUE(testenv::SetFileTime(Installed("data.bin"), std::time(nullptr) + 86400));

    const std::string kind = GetParam();
    FixtureServer server = kind == "HTTP"    ? FixtureServer::Nginx(serverDir)
                           : kind == "HTTPS" ? FixtureServer::Nginx(serverDir, "tls")
                           : kind == "FTP"   ? FixtureServer::Ftp(serverDir)
                                             : FixtureServer::Vsftpd(serverDir, "noport");
    ASSERT_TRUE(server.Ok()) << server.Error();
    std::string config = Config(kind, server.Port());
    if (kind == "HTTPS") {
        ASSERT_TRUE(TrustTestCa());
        config = Config(kind, server.Port(), "", "", "Remote Address=localhost\r\n");
    } else if (kind == "PassiveFTP") {
        config =
            Config("FTP", server.Port(), "", "", "Remote Address=127.0.0.1\r\nPassive Mode=1\r\n");
    }
    ASSERT_TRUE(testenv::WriteFile(workDir + "\\pass.ini", config));
    ASSERT_TRUE(app.Start(workDir, workDir + "\\pass.ini"));
    ASSERT_TRUE(app.Ends(120));
    EXPECT_EQ(testenv::ReadFile(client), testenv::ReadFile(Installed("client.exe")));
    EXPECT_EQ(testenv::ReadFile(control), testenv::ReadFile(Installed("control.dll")));
    EXPECT_TRUE(ScriptedBody(300000) == testenv::ReadFile(Installed("data.bin")));
    EXPECT_EQ("registered com=1\n", testenv::ReadFile(Installed("control.dll") + ".reg"));
    ExpectStartedOnce(Installed("client.exe"));
    ExpectNoLogFiles();
    // The size query's answer serves the transfer's opening as well.
    if (kind == "FTP") {
        EXPECT_EQ(1, server.CountRequests("SIZE /data file.bin"));
    }
}

// A proxy that wants a login: with a wrong one the pass ends as one that did
// not reach the server; with the configured one the list and the module come
// through it. Faults: the proxy keys not read, the login not given, the
// proxy's refusal taken for the server's (exit code 4, the wrong place to look).
TEST_F(FailedStageTest, ProxyThatWantsALoginGetsTheConfiguredOne) {
    FixtureServer proxy = FixtureServer::Squid("tav", "proxy-secret");
    ASSERT_TRUE(proxy.Ok()) << proxy.Error();
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), listed));
    const std::string via =
        "Remote Address=127.0.0.1\r\nProxy=127.0.0.1:" + std::to_string(proxy.Port()) +
        "\r\nProxy Login Name=tav\r\n";
    for (const char* password : {"wrong", "proxy-secret"}) {
        ASSERT_TRUE(testenv::WriteFile(workDir + "\\pass.ini",
                                       Config("HTTP", port, Installed("default.exe"), "",
                                              via + "Proxy Login Password=" + password + "\r\n")));
        ASSERT_TRUE(app.Start(workDir, workDir + "\\pass.ini"));
        EXPECT_EQ(password[0] == 'w' ? EXIT_NO_SERVER : EXIT_PASS_OK, app.ExitCode(90)) << password;
    }
    ExpectStartedOnce(Installed("listed.exe"));
    EXPECT_EQ(1, server.CountRequests("GET /TavUpdate.ver "));
    EXPECT_LE(1, proxy.CountRequests("/TavUpdate.ver"));
}

// A module the server does not have; the rest of the pass runs.
TEST_F(FailedStageTest, DownloadNewFiles) {
    ASSERT_TRUE(
        testenv::WriteFile(Served("TavUpdate.ver"), Installed("gone.dll") + "|/gone.dll\r\n"));
    ExpectOnlyTheLaunch("", "", EXIT_MODULE_FAILED);
}

INSTANTIATE_TEST_SUITE_P(Transports, FetchTest,
                         ::testing::Values("HTTP", "FTP", "PassiveFTP", "HTTPS"));

// Two pages, two tabs: two updaters at once. Faults: both fetch the same
// modules into the same folders (each sweeping the other's partial files), or
// one of them never ends.
TEST_F(PassFixture, UpdatersStartedTogetherTakeTurns) {
    FixtureServer server = FixtureServer::Nginx(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    ASSERT_TRUE(testenv::WriteFile(Served("a.bin"), ScriptedBody(300000)));
    ASSERT_TRUE(testenv::WriteFile(Served("b.bin"), ScriptedBody(200000)));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), Installed("a.bin") + "|/a.bin\n" +
                                                                Installed("b.bin") + "|/b.bin\n"));
    const std::string fallback = Copy("app_fixture_recorder.exe", Installed("default.exe"));
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\pass.ini", Config("HTTP", server.Port(), fallback)));
    AppProcess second;
    ASSERT_TRUE(app.Start(workDir, workDir + "\\pass.ini"));
    ASSERT_TRUE(second.Start(workDir, workDir + "\\pass.ini"));
    EXPECT_TRUE(app.Ends(120));
    EXPECT_TRUE(second.Ends(120));
    EXPECT_EQ(1, server.CountRequests("GET /a.bin "));
    EXPECT_EQ(1, server.CountRequests("GET /b.bin "));
    EXPECT_TRUE(ScriptedBody(300000) == testenv::ReadFile(Installed("a.bin")));
    EXPECT_TRUE(ScriptedBody(200000) == testenv::ReadFile(Installed("b.bin")));
}

} // namespace
