#include "NetDownLoader.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

namespace {

const char kConnectError[] = "ERROR : Function(InternetConnect) failed , EC=";

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Ok()) << server.Error(); }
    FixtureServer server = FixtureServer::Ftp(testenv::NewDir("ftp"), "tav", "secret");
    TraceRecorder trace;
    CNetDownLoader net;
};

// The port keeps its low sixteen bits, zero meaning the default; a refused
// protocol keeps every stored value.
TEST_F(SessionTest, LoginInfoIsStoredOrRefusedWhole) {
    struct {
        int protocol, port;
        unsigned short expected;
    } cases[] = {{1, 0, 21}, {3, 65536, 80}, {1, 70000, 4464}, {1, -1, 65535}};
    for (auto& c : cases) {
        ASSERT_TRUE(net.SetLoginInfo("host", c.protocol, c.port, "user", "pw"));
        EXPECT_EQ(c.expected, net.m_nRemotePort) << c.protocol << "/" << c.port;
    }
    for (int protocol : {0, 2, 4}) {
        EXPECT_EQ(0, net.SetLoginInfo("second", protocol, 99, "x", "y"));
        EXPECT_EQ("host", net.m_strRemoteAddress);
        EXPECT_EQ(1, net.m_nProtocol);
        EXPECT_EQ(65535, net.m_nRemotePort);
        EXPECT_EQ("user", net.m_strLoginName);
        EXPECT_EQ("pw", net.m_strLoginPassword);
    }
}

// An empty name logs in anonymously whatever the password; a wrong password
// leaves the root handle open with the report (the failure comes last).
TEST_F(SessionTest, LoginOutcomes) {
    struct {
        const char *user, *password;
        bool ok;
    } cases[] = {{"tav", "secret", true}, {"", "ignored", true}, {"tav", "wrong", false}};
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.user) + "/" + c.password);
        ASSERT_TRUE(net.SetLoginInfo("127.0.0.1", 1, server.Port(), c.user, c.password));
        EXPECT_EQ(c.ok, net.Connect() != 0) << trace.Dump();
        EXPECT_NE(nullptr, net.m_hInternet);
        EXPECT_EQ(c.ok, net.m_hConnect != nullptr);
        EXPECT_EQ(!c.ok, trace.HasPrefix(1, kConnectError)) << trace.Dump();
    }
    EXPECT_TRUE(trace.Has(3, "InternetOpen() OK..."));
    EXPECT_TRUE(trace.Has(3, "InternetConnect(127.0.0.1 , " + std::to_string(server.Port()) +
                                 ", tav, secret, 1) OK..."))
        << trace.Dump();
}

TEST_F(SessionTest, ClosedPortFailsAndTheNextConnectClosesTheLeftover) {
    int closedPort = server.Port();
    server.Stop();
    ASSERT_TRUE(net.SetLoginInfo("127.0.0.1", 1, closedPort, "tav", "secret"));
    EXPECT_EQ(0, net.Connect());
    ASSERT_NE(nullptr, net.m_hInternet);
    EXPECT_TRUE(trace.HasPrefix(1, kConnectError)) << trace.Dump();

    trace.Clear();
    EXPECT_EQ(0, net.Connect());
    EXPECT_FALSE(trace.HasPrefix(1, "ERROR : Function(InternetCloseHandle)")) << trace.Dump();
    net.Disconnect();
    EXPECT_EQ(nullptr, net.m_hInternet);
    EXPECT_EQ(nullptr, net.m_hConnect);
}

} // namespace
