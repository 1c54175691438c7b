// Passes with no window, as the scheduled task runs them.
#include "PassExitCode.h"
#include "PassFixture.h"

#include <algorithm>

namespace {

class UnattendedTest : public PassFixture {
protected:
    // The pass's exit code; no top-level window of it may appear while it
    // runs, not even a hidden one.
    int RunUnattended(const std::string& config) {
        EXPECT_TRUE(app.Start(workDir, "\"" + config + "\" /Unattended"));
        int windows = 0, code = -1;
        WaitFor(
            [&] {
                windows = std::max(windows, app.TopLevelWindows());
                return (code = app.ExitCode(0)) != -1;
            },
            120);
        EXPECT_EQ(0, windows);
        return code;
    }
    void ExpectNotStarted(const std::string& program) const {
        ::Sleep(1000);
        EXPECT_FALSE(testenv::FileExists(program + ".ran")) << program;
    }
};

// Faults: the window or a box shown (one nobody at a fleet's desktop would
// dismiss), the client or the default program started, the R module not
// registered as a pass with a window registers it.
TEST_F(UnattendedTest, InstallsAndRegistersWithNoWindowAndStartsNothing) {
    const std::string client = Copy("app_fixture_recorder.exe", Served("client.exe"));
    const std::string control = Copy("app_fixture_regserver.dll", Served("control.dll"));
    const std::string fallback = Copy("app_fixture_recorder.exe", Installed("default.exe"));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"),
                                   Installed("client.exe") + "|/client.exe|E\n" +
                                       Installed("control.dll") + "|/control.dll|R\n"));
    FixtureServer server = FixtureServer::Nginx(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\pass.ini", Config("HTTP", server.Port(), fallback)));
    EXPECT_EQ(EXIT_PASS_OK, RunUnattended(workDir + "\\pass.ini"));
    EXPECT_EQ(testenv::ReadFile(client), testenv::ReadFile(Installed("client.exe")));
    EXPECT_EQ("registered com=1\n", testenv::ReadFile(Installed("control.dll") + ".reg"));
    ExpectNotStarted(Installed("client.exe"));
    ExpectNotStarted(fallback);
    ExpectNoLogFiles();
}

// Nothing to start, where a pass with a window shows its box and waits.
TEST_F(UnattendedTest, MissingConfigurationEndsWithoutABox) {
    EXPECT_EQ(EXIT_NO_CONFIG, RunUnattended(workDir + "\\missing.ini"));
}

} // namespace
