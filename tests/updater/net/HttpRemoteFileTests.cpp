#include "NetTestSupport.h"

#include <gtest/gtest.h>

namespace {

const char kQueryInfoError[] = "ERROR : Function(HttpQueryInfo) failed , EC=";

class HttpTest : public ::testing::Test {
protected:
    explicit HttpTest(FixtureServer (*make)(const std::string&)) : server(make(root)) {}
    void SetUp() override { ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server)); }

    std::string root = testenv::NewDir("www");
    FixtureServer server;
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CNetDownLoader net;
};

struct HttpNginxTest : HttpTest {
    HttpNginxTest() : HttpTest(&FixtureServer::Nginx) {}
};
struct HttpScriptTest : HttpTest {
    HttpScriptTest() : HttpTest(&FixtureServer::Script) {}
};

// The size query, the time query and the download of a module read one
// response; read to its end, it is not reused by the next download.
TEST_F(HttpNginxTest, SizeTimeAndDownloadOfOnePathAreOneGetAndTheNextDownloadAnother) {
    ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", BinaryContent(10000)));
    ASSERT_TRUE(testenv::SetFileTime(root + "\\m.bin", 784111777));
    DWORD size = 0;
    time_t time = 0;
    ASSERT_TRUE(net.GetRemoteFileSize("/m.bin", &size)) << trace.Dump();
    ASSERT_TRUE(net.GetRemoteFileTime("/m.bin", &time)) << trace.Dump();
    EXPECT_EQ(10000u, size);
    EXPECT_EQ(784111777, time);
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\m.bin", size)) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\m.bin"));
    EXPECT_EQ(1, server.CountRequests("\"GET /m.bin "));
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\2.bin", 0)) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\2.bin"));
    EXPECT_EQ(2, server.CountRequests("\"GET /m.bin "));
    EXPECT_TRUE(trace.Has(3, "HttpSendRequest(/m.bin)  STAUS = 200 OK..."));
    EXPECT_TRUE(
        trace.Has(3, "GetRemoteFileTime(/m.bin) : HttpQueryInfo date = 1994-11-06 08:49:37"));
    // Korean local time, nine hours ahead and without daylight saving.
    EXPECT_TRUE(
        trace.Has(3, "GetRemoteFileTime(/m.bin) : Converted DateTime = 1994-11-06 17:49:37"))
        << trace.Dump();
}

// A failed open leaves no handle behind and no path paired with one.
TEST_F(HttpNginxTest, NotFoundAndAnotherPathCloseTheCachedRequest) {
    ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", "module"));
    ASSERT_TRUE(testenv::WriteFile(root + "\\other.txt", "other"));
    ASSERT_TRUE(net._IsRemoteFileOpened("/m.bin"));
    DWORD size = 77;
    EXPECT_EQ(0, net.GetRemoteFileSize("/missing.bin", &size));
    EXPECT_EQ(77u, size);
    EXPECT_EQ(nullptr, net.m_hRemoteFile);
    EXPECT_EQ("", net.m_strOpenedRemoteFile);
    EXPECT_TRUE(trace.Has(1, "HttpSendRequest(/missing.bin)  STAUS = 404 ERROR..."))
        << trace.Dump();
    // Another path, failed or not, closes the earlier request.
    ASSERT_TRUE(net._IsRemoteFileOpened("/m.bin"));
    ASSERT_TRUE(net.DownloadFile("/other.txt", local + "\\other.txt", 0)) << trace.Dump();
    EXPECT_EQ("other", testenv::ReadFile(local + "\\other.txt"));
    ASSERT_TRUE(net._IsRemoteFileOpened("/m.bin"));
    EXPECT_EQ(3, server.CountRequests("\"GET /m.bin "));
    EXPECT_FALSE(trace.HasPrefix(1, "ERROR : Function(InternetCloseHandle)")) << trace.Dump();
}

// The cache key is the path as given, letter case included.
TEST_F(HttpScriptTest, SamePathTwiceSendsOneRequestAndLetterCaseMakesAnotherKey) {
    ASSERT_TRUE(net._IsRemoteFileOpened("/A.txt?size=15"));
    DWORD size = 0;
    ASSERT_TRUE(net.GetRemoteFileSize("/A.txt?size=15", &size));
    EXPECT_EQ(1, server.CountRequests("GET /A.txt?"));
    ASSERT_TRUE(net.GetRemoteFileSize("/a.txt?size=15", &size));
    EXPECT_EQ(1, server.CountRequests("GET /a.txt?"));
    EXPECT_EQ("/a.txt?size=15", net.m_strOpenedRemoteFile);
}

// A response that cannot tell its size or time fails that query only; the
// chunked body still arrives whole from the same response.
TEST_F(HttpScriptTest, MissingHeadersFailTheirQueryAndKeepTheResponse) {
    const char path[] = "/c?size=5000&nolength=1&nomodified=1";
    DWORD size = 77;
    EXPECT_EQ(0, net.GetRemoteFileSize(path, &size));
    EXPECT_EQ(77u, size);
    EXPECT_TRUE(trace.HasPrefix(1, kQueryInfoError)) << trace.Dump();
    trace.Clear();
    time_t time = 12345;
    EXPECT_EQ(0, net.GetRemoteFileTime(path, &time));
    EXPECT_EQ(12345, time);
    EXPECT_TRUE(trace.HasPrefix(1, kQueryInfoError)) << trace.Dump();
    ASSERT_TRUE(net.DownloadFile(path, local + "\\c.bin", 0)) << trace.Dump();
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
