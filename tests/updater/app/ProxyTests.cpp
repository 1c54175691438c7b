#include "PassExitCode.h"
#include "PassFixture.h"

#include <algorithm>

namespace {

const char kLogin[] = "Proxy Login Name=corpuser\r\nProxy Login Password=S3cretPW\r\n";

class ProxyTest : public PassFixture {
protected:
    void SetUp() override { Copy("app_fixture_recorder.exe", Installed("default.exe")); }
    // One pass with these server lines; its exit code.
    int Pass(const std::string& protocol, int port, const std::string& server) {
        if (!testenv::WriteFile(workDir + "\\pass.ini",
                                Config(protocol, port, Installed("default.exe"), "", server)))
            return -1;
        if (!app.Start(workDir, workDir + "\\pass.ini"))
            return -1;
        return app.ExitCode(90);
    }
    std::string logFile = testenv::NewDir("log") + "\\pass.log";
};

// A 407 from what was reached directly: the update server itself with no
// proxy anywhere, and the host a redirect points to, which the configured
// proxy's bypass list sends straight there. Neither gets the login; the pass
// ends as one whose server refused, and the error line says why. Fault: the
// login handed to whoever answers 407.
TEST_F(ProxyTest, LoginGoesToNoServerThatAnswers407) {
    LogPolicyValues policy("SOFTWARE\\Tav\\TavUpdate", 1, logFile);
    FixtureServer asks = FixtureServer::Script(serverDir, "proxyauth=1");
    ASSERT_TRUE(asks.Ok()) << asks.Error();
    EXPECT_EQ(EXIT_NO_SERVER,
              Pass("HTTP", asks.Port(), std::string("Remote Address=127.0.0.1\r\n") + kLogin));
    const int direct = asks.CountRequests("GET /TavUpdate.ver");
    EXPECT_LE(1, direct);

    FixtureServer redirects = FixtureServer::Script(
        serverDir, "redirect=http://127.0.0.1:" + std::to_string(asks.Port()) + "/TavUpdate.ver");
    ASSERT_TRUE(redirects.Ok()) << redirects.Error();
    // Nothing listens at the proxy's port: a request sent there fails.
    EXPECT_EQ(EXIT_NO_SERVER, Pass("HTTP", redirects.Port(),
                                   std::string("Remote Address=127.0.0.1\r\nProxy=127.0.0.1:1\r\n"
                                               "Proxy Bypass=127.0.0.1\r\n") +
                                       kLogin));
    EXPECT_LE(1, redirects.CountRequests("GET /TavUpdate.ver"));
    EXPECT_LT(direct, asks.CountRequests("GET /TavUpdate.ver"));
    EXPECT_EQ(0, asks.CountRequests("Proxy-Authorization"));
    EXPECT_EQ(0, redirects.CountRequests("Proxy-Authorization"));

    const std::vector<std::string> entries = testenv::LogEntries(logFile);
    EXPECT_EQ(2, std::count_if(entries.begin(), entries.end(), [](const std::string& e) {
                  return e.find("ERROR, 407 from 127.0.0.1:") != std::string::npos &&
                         e.find("which is not a proxy") != std::string::npos;
              }));
    for (const std::string& entry : entries)
        EXPECT_EQ(std::string::npos, entry.find("S3cretPW")) << entry;
}

} // namespace
