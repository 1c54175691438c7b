#include "NetTestSupport.h"

#include <gtest/gtest.h>

namespace {

const char kQueryInfoError[] = "ERROR : Function(HttpQueryInfo) failed , EC=";
const time_t kUntouched = 12345;

class HttpNginxTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", BinaryContent(10000)));
        ASSERT_TRUE(testenv::WriteFile(root + "\\other.txt", "other"));
        ASSERT_TRUE(testenv::SetFileTime(root + "\\m.bin", 784111777));
        ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server));
    }
    int Gets(const std::string& path) const { return server.CountRequests("\"GET " + path + " "); }

    std::string root = testenv::NewDir("www");
    FixtureServer server = FixtureServer::Nginx(root);
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CAULMgr owner;
    CNetDownLoader& net = owner.m_downloader;
};

// The size query, the time query and the download of a module read one response.
TEST_F(HttpNginxTest, SizeTimeAndDownloadOfOnePathAreOneGetAndTheNextDownloadAnother) {
    DWORD size = 0;
    time_t time = 0;
    ASSERT_TRUE(net.GetRemoteFileSize("/m.bin", &size)) << trace.Dump();
    ASSERT_TRUE(net.GetRemoteFileTime("/m.bin", &time)) << trace.Dump();
    EXPECT_EQ(10000u, size);
    EXPECT_EQ(784111777, time);
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\m.bin", size)) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\m.bin"));
    EXPECT_EQ(1, Gets("/m.bin"));
    // Read to its end, the response must not be reused by the next download.
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\2.bin", 0)) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\2.bin"));
    EXPECT_EQ(2, Gets("/m.bin"));
    EXPECT_TRUE(trace.Has(3, "GetRemoteFileSize(/m.bin) : HttpQueryInfo : size =10000"));
    EXPECT_TRUE(trace.Has(3, "HttpSendRequest(/m.bin)  STAUS = 200 OK..."));
    EXPECT_TRUE(
        trace.Has(3, "GetRemoteFileTime(/m.bin) : HttpQueryInfo date = 1994-11-06 08:49:37"))
        << trace.Dump();
    // Korean local time, nine hours ahead and without daylight saving.
    EXPECT_TRUE(
        trace.Has(3, "GetRemoteFileTime(/m.bin) : Converted DateTime = 1994-11-06 17:49:37"))
        << trace.Dump();
}

TEST_F(HttpNginxTest, AnotherPathClosesTheCachedRequest) {
    time_t time = 0;
    ASSERT_TRUE(net.GetRemoteFileTime("/m.bin", &time)) << trace.Dump();
    ASSERT_TRUE(net.DownloadFile("/other.txt", local + "\\other.txt", 0)) << trace.Dump();
    EXPECT_EQ("other", testenv::ReadFile(local + "\\other.txt"));
    // The earlier request is gone: asking again sends a new GET.
    ASSERT_TRUE(net.GetRemoteFileTime("/m.bin", &time));
    EXPECT_EQ(2, Gets("/m.bin"));
    EXPECT_FALSE(trace.HasPrefix(1, "ERROR : Function(InternetCloseHandle)")) << trace.Dump();
}

// A failed open must leave no handle behind and no path paired with one.
TEST_F(HttpNginxTest, NotFoundLeavesNoHandleAndNothingStored) {
    ASSERT_TRUE(net._IsRemoteFileOpened("/m.bin"));
    DWORD size = 77;
    EXPECT_EQ(0, net.GetRemoteFileSize("/missing.bin", &size));
    EXPECT_EQ(77u, size);
    EXPECT_EQ(nullptr, net.m_hRemoteFile);
    EXPECT_EQ("", net.m_strOpenedRemoteFile);
    EXPECT_TRUE(trace.Has(1, "HttpSendRequest(/missing.bin)  STAUS = 404 ERROR..."))
        << trace.Dump();
    EXPECT_TRUE(trace.Has(
        1, "_IsRemoteFileOpened : ERROR, could not open remote file handle : /missing.bin"));
    EXPECT_TRUE(
        trace.Has(1, "GetRemoteFileSize(/missing.bin) : ERROR, remote file could not opened.."));

    ASSERT_TRUE(testenv::WriteFile(local + "\\keep.bin", "former"));
    EXPECT_EQ(0, net.DownloadFile("/missing.bin", local + "\\keep.bin", 0));
    EXPECT_EQ("former", testenv::ReadFile(local + "\\keep.bin"));
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/missing.bin->" + local +
                                 "\\keep.bin) : ERROR, remote file could not opened.."));
}

TEST_F(HttpNginxTest, NothingIsSentWithoutAConnection) {
    net.Disconnect();
    DWORD size = 1;
    time_t time = kUntouched;
    EXPECT_EQ(0, net.GetRemoteFileSize("/m.bin", &size));
    EXPECT_EQ(0, net.GetRemoteFileTime("/m.bin", &time));
    EXPECT_EQ(0, net.DownloadFile("/m.bin", local + "\\m.bin", 0));
    EXPECT_EQ(1u, size);
    EXPECT_EQ(kUntouched, time);
    EXPECT_TRUE(trace.Has(1, "GetRemoteFileSize(/m.bin) : ERROR, server does not connected.."));
    EXPECT_TRUE(trace.Has(1, "GetRemoteFileTime(/m.bin) : ERROR, server does not connected.."));
    EXPECT_TRUE(trace.Has(1, "_IsRemoteFileOpened : ERROR, server does not connected.."));
    EXPECT_FALSE(testenv::FileExists(local + "\\m.bin"));
    EXPECT_EQ(0, Gets("/m.bin"));
}

class HttpScriptTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server)); }

    std::string root = testenv::NewDir("script");
    FixtureServer server = FixtureServer::Script(root);
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CAULMgr owner;
    CNetDownLoader& net = owner.m_downloader;
};

TEST_F(HttpScriptTest, LastModifiedOf1994IsStoredAsItsInstant) {
    time_t time = 0;
    ASSERT_TRUE(net.GetRemoteFileTime("/t?size=10&modified=784111777", &time)) << trace.Dump();
    EXPECT_EQ(784111777, time);
    EXPECT_TRUE(trace.Has(3, "GetRemoteFileTime(/t?size=10&modified=784111777) : HttpQueryInfo "
                             "date = 1994-11-06 08:49:37"))
        << trace.Dump();
}

// The cache key is the path as given, letter case included.
TEST_F(HttpScriptTest, SamePathTwiceSendsOneRequestAndLetterCaseMakesAnotherKey) {
    ASSERT_TRUE(net._IsRemoteFileOpened("/A.txt?size=15"));
    HINTERNET first = net.m_hRemoteFile;
    ASSERT_TRUE(net._IsRemoteFileOpened("/A.txt?size=15"));
    EXPECT_EQ(first, net.m_hRemoteFile);
    DWORD size = 0;
    ASSERT_TRUE(net.GetRemoteFileSize("/A.txt?size=15", &size));
    EXPECT_EQ(1, server.CountRequests("GET /A.txt?"));

    ASSERT_TRUE(net.GetRemoteFileSize("/a.txt?size=15", &size));
    EXPECT_EQ(1, server.CountRequests("GET /a.txt?"));
    EXPECT_EQ("/a.txt?size=15", net.m_strOpenedRemoteFile);
}

// A response that cannot tell its size or time fails that query only.
TEST_F(HttpScriptTest, MissingHeadersFailTheirQueryAndKeepTheResponse) {
    DWORD size = 77;
    ASSERT_TRUE(net._IsRemoteFileOpened("/c?size=5000&nolength=1&nomodified=1"));
    EXPECT_EQ(0, net.GetRemoteFileSize("/c?size=5000&nolength=1&nomodified=1", &size));
    EXPECT_EQ(77u, size);
    EXPECT_TRUE(trace.HasPrefix(1, kQueryInfoError)) << trace.Dump();

    trace.Clear();
    time_t time = kUntouched;
    EXPECT_EQ(0, net.GetRemoteFileTime("/c?size=5000&nolength=1&nomodified=1", &time));
    EXPECT_EQ(kUntouched, time);
    EXPECT_TRUE(trace.HasPrefix(1, kQueryInfoError)) << trace.Dump();

    // The chunked body itself still arrives whole, from the same response.
    ASSERT_TRUE(net.DownloadFile("/c?size=5000&nolength=1&nomodified=1", local + "\\c.bin", 0))
        << trace.Dump();
    EXPECT_TRUE(ScriptPattern(5000) == testenv::ReadFile(local + "\\c.bin"));
    EXPECT_EQ(1, server.CountRequests("GET /c?"));
}

TEST_F(HttpScriptTest, RedirectFollowedByTheLibraryEndsInAcceptedFile) {
    DWORD size = 0;
    ASSERT_TRUE(net.GetRemoteFileSize("/old?redirect=/new%3Fsize%3D3000", &size)) << trace.Dump();
    EXPECT_EQ(3000u, size);
    ASSERT_TRUE(net.DownloadFile("/old?redirect=/new%3Fsize%3D3000", local + "\\r.bin", size));
    EXPECT_TRUE(ScriptPattern(3000) == testenv::ReadFile(local + "\\r.bin"));
}

} // namespace
