#include "AULMgr.h"
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
    CAULMgr owner;
    CNetDownLoader& net = owner.m_downloader;
};

TEST_F(SessionTest, FreshObjectIsUnconfiguredAndDisconnectReportsNothing) {
    CNetDownLoader fresh;
    EXPECT_EQ(-1, fresh.m_nProtocol);
    EXPECT_EQ(0xFFFF, fresh.m_nRemotePort);
    EXPECT_EQ(nullptr, fresh.m_hInternet);
    trace.Clear();
    fresh.Disconnect();
    EXPECT_TRUE(trace.Entries().empty()) << trace.Dump();
}

TEST_F(SessionTest, PortKeepsLowSixteenBitsAndZeroMeansTheDefault) {
    struct {
        int protocol, port;
        unsigned short expected;
    } cases[] = {{1, 0, 21},       {3, 0, 80},      {1, 65536, 21}, {3, 65536, 80},
                 {1, 70000, 4464}, {3, 8080, 8080}, {1, -1, 65535}};
    for (auto& c : cases) {
        ASSERT_TRUE(net.SetLoginInfo("host", c.protocol, c.port, "u", "p"));
        EXPECT_EQ(c.expected, net.m_nRemotePort) << c.protocol << "/" << c.port;
    }
}

TEST_F(SessionTest, RefusedProtocolKeepsEveryStoredValue) {
    ASSERT_TRUE(net.SetLoginInfo("first", 1, 2121, "user", "pw"));
    for (int protocol : {0, 2, -1, 4}) {
        EXPECT_EQ(0, net.SetLoginInfo("second", protocol, 99, "x", "y"));
        EXPECT_EQ("first", net.m_strRemoteAddress);
        EXPECT_EQ(1, net.m_nProtocol);
        EXPECT_EQ(2121, net.m_nRemotePort);
        EXPECT_EQ("user", net.m_strLoginName);
        EXPECT_EQ("pw", net.m_strLoginPassword);
    }
    EXPECT_TRUE(trace.Entries().empty()) << trace.Dump();
}

TEST_F(SessionTest, LoginWithUserAndPassword) {
    ASSERT_TRUE(net.SetLoginInfo("127.0.0.1", 1, server.Port(), "tav", "secret"));
    ASSERT_TRUE(net.Connect()) << trace.Dump();
    EXPECT_NE(nullptr, net.m_hInternet);
    EXPECT_NE(nullptr, net.m_hConnect);
    EXPECT_TRUE(trace.Has(3, "InternetOpen() OK..."));
    EXPECT_TRUE(trace.Has(3, "InternetConnect(127.0.0.1 , " + std::to_string(server.Port()) +
                                 ", tav, secret, 1) OK..."))
        << trace.Dump();
}

TEST_F(SessionTest, EmptyLoginNameLogsInAnonymouslyWhateverThePassword) {
    ASSERT_TRUE(net.SetLoginInfo("127.0.0.1", 1, server.Port(), "", "ignored"));
    EXPECT_TRUE(net.Connect()) << trace.Dump();
}

TEST_F(SessionTest, WrongPasswordLeavesTheHalfOpenStateWithTheReport) {
    ASSERT_TRUE(net.SetLoginInfo("127.0.0.1", 1, server.Port(), "tav", "wrong"));
    EXPECT_EQ(0, net.Connect());
    EXPECT_NE(nullptr, net.m_hInternet);
    EXPECT_EQ(nullptr, net.m_hConnect);
    EXPECT_TRUE(trace.HasPrefix(1, kConnectError)) << trace.Dump();
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
    // The leftover root handle was closed (without a close failure) first.
    EXPECT_FALSE(trace.HasPrefix(1, "ERROR : Function(InternetCloseHandle)")) << trace.Dump();
    EXPECT_TRUE(trace.Has(3, "InternetOpen() OK..."));
    net.Disconnect();
    EXPECT_EQ(nullptr, net.m_hInternet);
    EXPECT_EQ(nullptr, net.m_hConnect);
}

} // namespace
