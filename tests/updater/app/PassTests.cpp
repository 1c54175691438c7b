#include "PassFixture.h"

#include <ctime>

namespace {

// A program the pass should start was started once, as "<quoted path> "
// in its own folder.
void ExpectStartedOnce(const std::vector<std::string>& starts, const std::string& program,
                       const std::string& folder) {
    ASSERT_EQ(1u, starts.size()) << program;
    EXPECT_EQ("\"" + program + "\" |" + folder, starts[0]);
}

TEST_F(PassFixture, MissingConfigurationShowsTheOnlyBoxAndTheWindowClosesAfterIt) {
    ASSERT_TRUE(app.Start(workDir, workDir + "\\missing.ini"));
    HWND box = app.WaitMessageBox(kNothingToRun, 60);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ("TavUpdate", WindowText(box));
    // The window waits behind the box, showing the launch stage.
    HWND main = app.WaitMainWindow(5);
    ASSERT_NE(nullptr, main);
    EXPECT_EQ(kTitle, WindowText(main));
    EXPECT_EQ(kLaunchStage, ItemText(main, 1001));
    EXPECT_EQ("Downloading... ", ItemText(main, 1003));
    EXPECT_EQ("0/0", ItemText(main, 1004));

    Settle(main);
    EXPECT_TRUE(::IsWindow(main));
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(app.WaitExit(30));
    EXPECT_EQ(0u, app.ExitCode());
    ExpectNoLogFiles();
}

// Both starts read .\TavUpdateInfo.ini of the working folder: no argument,
// and an empty first argument with a second one that must be ignored.
class DefaultConfigTest : public PassFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(DefaultConfigTest, WorkingFolderFileIsReadAndAnUnreachableServerStartsTheDefault) {
    std::string program = Installed("client.exe");
    ASSERT_TRUE(::CopyFileA((testenv::BinDir() + "\\app_fixture_recorder.exe").c_str(),
                            program.c_str(), FALSE));
    // A port nobody listens on any more.
    int port;
    {
        FixtureServer gone = FixtureServer::Nginx(serverDir);
        ASSERT_TRUE(gone.Ok()) << gone.Error();
        port = gone.Port();
    }
    ASSERT_TRUE(testenv::WriteFile(workDir + "\\TavUpdateInfo.ini", Config("HTTP", port, program)));

    ASSERT_TRUE(app.Start(workDir, GetParam()));
    ASSERT_TRUE(app.WaitExit(90)) << "no box may stop this pass";
    EXPECT_EQ(0u, app.ExitCode());
    ExpectStartedOnce(Starts(program), program, installDir);
    ExpectNoLogFiles();
}

INSTANTIATE_TEST_SUITE_P(Arguments, DefaultConfigTest,
                         ::testing::Values("", "\"\" Z:\\nowhere\\other.ini"));

TEST_F(PassFixture, NothingNewerFetchesNothingAndStillStartsTheProgramsMarkedE) {
    ServeFixture("app_fixture_recorder.exe", "client.exe");
    ServeFixture("app_fixture_regserver.dll", "control.dll");
    ASSERT_TRUE(testenv::WriteFile(serverDir + "\\data.bin", "new data"));
    ServeVersionList("; current modules\n" + Installed("client.exe") + " | /client.exe | E\n" +
                     Installed("control.dll") + " | /control.dll | R\n" + Installed("data.bin") +
                     " | /data.bin\n");
    // Local copies newer than the server's: kept.
    ASSERT_TRUE(::CopyFileA((testenv::BinDir() + "\\app_fixture_recorder.exe").c_str(),
                            Installed("client.exe").c_str(), FALSE));
    ASSERT_TRUE(testenv::WriteFile(Installed("control.dll"), "old library"));
    ASSERT_TRUE(testenv::WriteFile(Installed("data.bin"), "old data"));
    long long later = static_cast<long long>(std::time(nullptr)) + 86400;
    for (const char* name : {"client.exe", "control.dll", "data.bin"})
        ASSERT_TRUE(testenv::SetFileTime(Installed(name), later));

    FixtureServer ftp = FixtureServer::Ftp(serverDir, "tav", "secret");
    ASSERT_TRUE(ftp.Ok()) << ftp.Error();
    std::string config = workDir + "\\pass.ini";
    ASSERT_TRUE(testenv::WriteFile(config, Config("FTP", ftp.Port(), "")));

    ASSERT_TRUE(app.Start(workDir, config));
    ASSERT_TRUE(app.WaitExit(90));
    EXPECT_EQ(0u, app.ExitCode());
    EXPECT_EQ("old library", testenv::ReadFile(Installed("control.dll")));
    EXPECT_EQ("old data", testenv::ReadFile(Installed("data.bin")));
    EXPECT_EQ(later, FileTimeOf(Installed("data.bin")));
    EXPECT_FALSE(testenv::FileExists(Installed("control.dll") + ".reg"));
    ExpectStartedOnce(Starts(Installed("client.exe")), Installed("client.exe"), installDir);
    // The version list itself was fetched.
    EXPECT_EQ(testenv::ReadFile(serverDir + "\\TavUpdate.ver"),
              testenv::ReadFile(workDir + "\\TavUpdate.ver"));
    ExpectNoLogFiles();
}

// Newer and forced modules over both protocols: each lands whole, the
// library marked R is registered once, the program marked E starts once.
class FetchTest : public PassFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(FetchTest, NewerAndForcedModulesAreFetchedRegisteredAndStarted) {
    std::string client = ServeFixture("app_fixture_recorder.exe", "client.exe");
    std::string control = ServeFixture("app_fixture_regserver.dll", "control.dll");
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 + 3);
    ASSERT_TRUE(testenv::WriteFile(serverDir + "\\data.bin", data));
    ServeVersionList(Installed("client.exe") + "|/client.exe|E\n" + Installed("control.dll") +
                     "|/control.dll|R\n" + Installed("data.bin") + "|/data.bin|F\n" +
                     Installed("keep.txt") + "|/keep.txt\n");
    ASSERT_TRUE(testenv::WriteFile(serverDir + "\\keep.txt", "server keep"));
    // control.dll is missing locally; data.bin is newer locally but forced;
    // keep.txt is older than the server's.
    ASSERT_TRUE(testenv::WriteFile(Installed("data.bin"), "local data, newer"));
    ASSERT_TRUE(testenv::SetFileTime(Installed("data.bin"),
                                     static_cast<long long>(std::time(nullptr)) + 86400));
    ASSERT_TRUE(testenv::WriteFile(Installed("keep.txt"), "old keep"));
    ASSERT_TRUE(testenv::SetFileTime(Installed("keep.txt"), 946684800)); // 2000-01-01

    bool http = std::string(GetParam()) == "HTTP";
    FixtureServer server =
        http ? FixtureServer::Nginx(serverDir) : FixtureServer::Ftp(serverDir, "tav", "secret");
    ASSERT_TRUE(server.Ok()) << server.Error();
    std::string config = workDir + "\\pass.ini";
    ASSERT_TRUE(testenv::WriteFile(config, Config(GetParam(), server.Port(), "")));

    ASSERT_TRUE(app.Start(workDir, config));
    ASSERT_TRUE(app.WaitExit(120));
    EXPECT_EQ(0u, app.ExitCode());
    EXPECT_EQ(testenv::ReadFile(client), testenv::ReadFile(Installed("client.exe")));
    EXPECT_EQ(testenv::ReadFile(control), testenv::ReadFile(Installed("control.dll")));
    EXPECT_TRUE(testenv::ReadFile(Installed("data.bin")) == data)
        << "forced module not replaced whole";
    EXPECT_EQ("server keep", testenv::ReadFile(Installed("keep.txt")));
    EXPECT_EQ("registered\n", testenv::ReadFile(Installed("control.dll") + ".reg"));
    ExpectStartedOnce(Starts(Installed("client.exe")), Installed("client.exe"), installDir);
    if (http) {
        EXPECT_EQ(1, server.CountRequests("GET /TavUpdate.ver "));
        // Every selected module was asked for over the wire.
        for (const char* path : {"/client.exe", "/control.dll", "/data.bin", "/keep.txt"})
            EXPECT_LE(1, server.CountRequests(std::string("GET ") + path + " ")) << path;
    }
    ExpectNoLogFiles();
}

INSTANTIATE_TEST_SUITE_P(Protocols, FetchTest, ::testing::Values("HTTP", "FTP"));

} // namespace
