#include "PassExitCode.h"
#include "PassFixture.h"

#include <algorithm>
#include <ctime>

namespace {

const char kLogin[] = "Proxy Login Name=corpuser\r\nProxy Login Password=S3cretPW\r\n";

class ProxyTest : public PassFixture {
protected:
    void SetUp() override { Copy("app_fixture_recorder.exe", Installed("default.exe")); }
    // One pass with these server lines (and sections after them); its exit
    // code.
    int Pass(const std::string& protocol, int port, const std::string& server,
             const std::string& more = "") {
        if (!testenv::WriteFile(workDir + "\\pass.ini",
                                Config(protocol, port, Installed("default.exe"), "", server) +
                                    more))
            return -1;
        if (!app.Start(workDir, workDir + "\\pass.ini"))
            return -1;
        return app.ExitCode(90);
    }
    std::string logFile = testenv::NewDir("log") + "\\pass.log";
};

// A 407 from what was reached directly: the update server itself with no
// proxy anywhere, and the host a redirect points to, which the configured
// proxy's bypass list sends straight there (as it does the pass's report).
// None gets the login; the pass ends as one whose server refused, and the
// error line says why. Fault: the login handed to whoever answers 407.
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
                                       kLogin,
                                   "[REPORT]\r\nReport URL=http://127.0.0.1:" +
                                       std::to_string(asks.Port()) + "/report\r\n"));
    EXPECT_TRUE(WaitFor([&] { return asks.CountRequests("GET /report?") >= 1; }));
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

// HTTPS through a proxy that wants a login: the proxy refuses the tunnel
// (407 to CONNECT), and the login answers it. With a wrong login the pass
// ends as one that did not reach the server. Fault: the request sent again
// on the refused handle, in plain text and without the login (the proxy
// answers 400, exit code 4).
TEST_F(ProxyTest, HttpsTunnelThroughAProxyThatWantsALogin) {
    ASSERT_TRUE(TrustTestCa());
    FixtureServer proxy = FixtureServer::Squid("tav", "proxy-secret");
    ASSERT_TRUE(proxy.Ok()) << proxy.Error();
    FixtureServer server = FixtureServer::Nginx(serverDir, "tls");
    ASSERT_TRUE(server.Ok()) << server.Error();
    ASSERT_TRUE(testenv::WriteFile(Served("m.bin"), ScriptedBody(100000)));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), Installed("m.bin") + "|/m.bin\n"));
    const std::string via =
        "Remote Address=localhost\r\nProxy=127.0.0.1:" + std::to_string(proxy.Port()) +
        "\r\nProxy Login Name=tav\r\n";
    EXPECT_EQ(EXIT_NO_SERVER, Pass("HTTPS", server.Port(), via + "Proxy Login Password=wrong\r\n"));
    EXPECT_EQ(0, server.CountRequests("GET "));
    EXPECT_EQ(EXIT_PASS_OK,
              Pass("HTTPS", server.Port(), via + "Proxy Login Password=proxy-secret\r\n"));
    EXPECT_TRUE(ScriptedBody(100000) == testenv::ReadFile(Installed("m.bin")));
    EXPECT_EQ(1, server.CountRequests("GET /TavUpdate.ver "));
    EXPECT_EQ(1, server.CountRequests("GET /m.bin "));
    // squid logs a tunnel when it closes.
    EXPECT_TRUE(WaitFor([&] { return proxy.CountRequests("TCP_TUNNEL/200") >= 1; }, 30));
}

// A caching proxy (Debian's default squid) between the desktop and the
// server: a list published after an older one was fetched through it is seen
// by the next pass, while a module comes from the cache. Fault: the list
// asked for as any file, and served from the cache while it is fresh by the
// proxy's rules (the desktop stays on the old release).
TEST_F(ProxyTest, CachingProxyServesTheNewList) {
    FixtureServer proxy = FixtureServer::Squid("cache");
    ASSERT_TRUE(proxy.Ok()) << proxy.Error();
    FixtureServer server = FixtureServer::Nginx(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    // A day old: fresh for hours by the proxy's rules.
    const long long dayAgo = std::time(nullptr) - 86400;
    ASSERT_TRUE(testenv::WriteFile(Served("one.bin"), "release one"));
    ASSERT_TRUE(testenv::SetFileTime(Served("one.bin"), dayAgo));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), Installed("one.bin") + "|/one.bin\n"));
    ASSERT_TRUE(testenv::SetFileTime(Served("TavUpdate.ver"), dayAgo));
    const std::string via =
        "Remote Address=127.0.0.1\r\nProxy=127.0.0.1:" + std::to_string(proxy.Port()) + "\r\n";
    EXPECT_EQ(EXIT_PASS_OK, Pass("HTTP", server.Port(), via));
    EXPECT_EQ("release one", testenv::ReadFile(Installed("one.bin")));

    ASSERT_TRUE(testenv::WriteFile(Served("two.bin"), "release two"));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), Installed("one.bin") + "|/one.bin|F\n" +
                                                                Installed("two.bin") +
                                                                "|/two.bin\n"));
    ASSERT_TRUE(::DeleteFileA(Installed("one.bin").c_str()));
    EXPECT_EQ(EXIT_PASS_OK, Pass("HTTP", server.Port(), via));
    EXPECT_EQ("release two", testenv::ReadFile(Installed("two.bin")));
    EXPECT_EQ("release one", testenv::ReadFile(Installed("one.bin")));
    EXPECT_EQ(1, server.CountRequests("GET /one.bin "));
    EXPECT_LE(1, proxy.CountRequests("HIT/200"));
}

} // namespace
