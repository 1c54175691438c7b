#include "NetTestSupport.h"

#include <gtest/gtest.h>

namespace {

const char kFindError[] = "ERROR : Function(FtpFindFirstFile) failed , EC=";

class FtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::WriteFile(root + "\\bin.dat", BinaryContent(20000)));
        ASSERT_TRUE(ConnectTo(net, PROTOCOL_FTP, server));
    }

    std::string root = testenv::NewDir("ftp");
    FixtureServer server = FixtureServer::Ftp(root, "tav", "secret");
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CNetDownLoader net;
};

TEST_F(FtpTest, ListingGivesSizeAndLocalWallClockTime) {
    // Recent files are listed to the minute in the server's local time.
    time_t stamp = (::time(nullptr) - 10 * 86400) / 60 * 60;
    ASSERT_TRUE(testenv::SetFileTime(root + "\\bin.dat", stamp));
    DWORD size = 0;
    time_t time = 0;
    ASSERT_TRUE(net.GetRemoteFileSize("/bin.dat", &size)) << trace.Dump();
    ASSERT_TRUE(net.GetRemoteFileTime("/bin.dat", &time)) << trace.Dump();
    EXPECT_EQ(20000u, size);
    EXPECT_EQ(stamp, time);
    EXPECT_TRUE(trace.Has(3, "GetRemoteFileSize(/bin.dat) : FtpFindFirstFile  size = 20000 "));
    // Korean local time: nine hours ahead of UTC, no daylight saving.
    char text[32];
    time_t wallClock = stamp + 9 * 3600;
    strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", gmtime(&wallClock));
    EXPECT_TRUE(trace.Has(
        3, std::string("GetRemoteFileTime(/bin.dat) : FtpFindFirstFile  date = ") + text + " "))
        << trace.Dump();
}

// The connection carries one transfer: a query closes it, and the download
// after it opens the file again. CR, LF and NUL cross unchanged (binary mode).
TEST_F(FtpTest, QueryClosesAnOpenTransferAndDownloadsAreByteForByte) {
    DWORD size = 0;
    time_t time = 0;
    ASSERT_TRUE(net._IsRemoteFileOpened("/bin.dat"));
    ASSERT_TRUE(net.GetRemoteFileSize("/bin.dat", &size)) << trace.Dump();
    EXPECT_EQ(nullptr, net.m_hRemoteFile);
    ASSERT_TRUE(net._IsRemoteFileOpened("/bin.dat"));
    ASSERT_TRUE(net.GetRemoteFileTime("/bin.dat", &time)) << trace.Dump();
    EXPECT_EQ(nullptr, net.m_hRemoteFile);
    for (const char* name : {"\\bin.dat", "\\again.dat"}) {
        ASSERT_TRUE(net.DownloadFile("/bin.dat", local + name, size)) << trace.Dump();
        EXPECT_TRUE(BinaryContent(20000) == testenv::ReadFile(local + name)) << name;
    }
    EXPECT_EQ(4, trace.Count("FtpOpenFile(/bin.dat) OK..."));
}

TEST_F(FtpTest, MissingPathFailsEveryStep) {
    DWORD size = 77;
    time_t time = 12345;
    EXPECT_EQ(0, net.GetRemoteFileSize("/none.dat", &size));
    EXPECT_TRUE(trace.HasPrefix(1, kFindError)) << trace.Dump();
    trace.Clear();
    EXPECT_EQ(0, net.GetRemoteFileTime("/none.dat", &time));
    EXPECT_TRUE(trace.HasPrefix(1, kFindError)) << trace.Dump();
    EXPECT_EQ(77u, size);
    EXPECT_EQ(12345, time);
    EXPECT_EQ(0, net.DownloadFile("/none.dat", local + "\\none.dat", 0));
    EXPECT_TRUE(trace.HasPrefix(1, "ERROR : Function(FtpOpenFile) failed , EC=")) << trace.Dump();
    EXPECT_EQ(nullptr, net.m_hRemoteFile);
    EXPECT_FALSE(testenv::FileExists(local + "\\none.dat"));
}

} // namespace
