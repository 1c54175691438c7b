#include "NetTest.h"

namespace {

class BodyTest : public NetTest {
protected:
    void SetUp() override {
        net.SetTimeout(3);
        Connect(server, PROTOCOL_HTTP);
        ASSERT_TRUE(testenv::WriteFile(target, "former module"));
    }
    FixtureServer server = FixtureServer::Script(root);
    const std::string target = local + "\\m.dll";
};

// Bodies a stock server does not send, with and without a size from the
// caller, each replace the target whole. Faults: a body cut at the size
// announced, a chunked or empty one refused or half kept, progress reported
// without a size (the display divides by it), bytes lost or repeated where
// the reads grow to their largest.
TEST_F(BodyTest, EveryWholeBodyReplacesTheTarget) {
    const struct {
        const char* path;
        DWORD expected;
        size_t bytes;
    } cases[] = {{"/m?size=10000", 5000, 10000},
                 {"/m?size=5000&nolength=1", 0, 5000},
                 {"/m?size=0", 0, 0},
                 {"/m?size=3000000", 3000000, 3000000}};
    for (const auto& c : cases) {
        progress.clear();
        EXPECT_EQ(1, net.DownloadFile(c.path, target, c.expected)) << c.path << trace.Dump();
        EXPECT_TRUE(ScriptedBody(c.bytes) == testenv::ReadFile(target)) << c.path;
        EXPECT_EQ(c.expected == 0, progress.empty()) << c.path;
    }
}

// Fault: a read that waits for the whole of a body arriving slowly (a read
// returns only when its buffer is full), so nothing moves until its end.
TEST_F(BodyTest, SlowBodyShowsProgressBeforeItEnds) {
    ASSERT_EQ(1, net.DownloadFile("/m?size=40960&slow=100&piece=2048", target, 40960))
        << trace.Dump();
    ASSERT_FALSE(progress.empty());
    EXPECT_LT(progress.front().done, 40960u);
    EXPECT_TRUE(ScriptedBody(40960) == testenv::ReadFile(target));
}

// A reset mid-body, an orderly close before the announced length (with or
// without a size from the caller) and a stall: the former file stays, the
// partial one goes, a missing target is not made.
TEST_F(BodyTest, BrokenTransferKeepsTheFormerFile) {
    const struct {
        const char* path;
        DWORD expected;
    } cases[] = {{"/m?size=20000&drop=6000", 20000},
                 {"/m?size=20000&cut=6000", 20000},
                 {"/m?size=20000&cut=6000", 0},
                 {"/m?size=20000&stall=6000", 20000}};
    for (const auto& c : cases) {
        EXPECT_EQ(0, net.DownloadFile(c.path, target, c.expected)) << c.path << c.expected;
        EXPECT_EQ("former module", testenv::ReadFile(target));
    }
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&cut=100", local + "\\new.dll", 20000));
    EXPECT_EQ(std::vector<std::string>{"m.dll"}, testenv::ListFolder(local));
}

// Faults: the flushes behind a large transfer failing a sound one, holding up
// its end, or letting a block go missing (only modules of many MiB meet them,
// so here a flush follows every block).
TEST(FileSinkTest, FlushesBehindTheTransferKeepASoundOne) {
    const std::string target = testenv::NewDir("sink") + "\\m.bin";
    std::string sent;
    {
        CPartialFile file; // held until it goes
        ASSERT_TRUE(file.Open(target).Ok());
        CFileSink sink(file, 1); // a flush after every block
        for (char c = 'a'; c <= 'z'; ++c) {
            const std::string block(65536, c);
            ASSERT_TRUE(sink.Add(block.data(), static_cast<DWORD>(block.size())).Ok());
            sent += block;
        }
        ASSERT_TRUE(sink.Finish().Ok());
        ASSERT_TRUE(file.Commit().Ok());
    }
    EXPECT_TRUE(sent == testenv::ReadFile(target));
}

} // namespace

namespace {

// Faults: a busy server (503 with Retry-After) failing the download at once;
// a request the server refused for good (404) sent again.
TEST_F(BodyTest, BusyServerIsAskedAgainAfterItsRetryAfter) {
    ASSERT_EQ(1, net.DownloadFile("/m?size=1000&busy=2&after=1", target, 1000)) << trace.Dump();
    EXPECT_EQ(3, server.CountRequests("GET /m?size=1000&busy=2&after=1"));
    EXPECT_EQ(0, net.DownloadFile("/missing.dll", target, 0));
    EXPECT_EQ(1, server.CountRequests("GET /missing.dll"));
}

} // namespace

namespace {

// A transfer whose FTP server is stopped in the middle of it, then a new
// server over the same files.
class FtpResumeTest : public NetTest {
protected:
    void ShowProgress(std::string name, DWORD total, DWORD done) override {
        NetTest::ShowProgress(name, total, done);
        if (progress.size() == 1 && first.Ok())
            first.Stop();
    }
    FixtureServer first = FixtureServer::Ftp(root);
};

// Fault: a module cut on its way over FTP received again from its first
// byte, or continued from another byte than the kept ones' end.
TEST_F(FtpResumeTest, CutTransferIsContinuedWithRest) {
    const std::string module = ScriptedBody(32 << 20), target = local + "\\m.bin";
    ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", module));
    Connect(first, PROTOCOL_FTP);
    unsigned long long size = 0;
    CNetDownLoader::RemoteModule m;
    m.remotePath = "/m.bin";
    m.localPath = target;
    {
        CPartialFile file;
        ASSERT_EQ(0, net.ReceiveFile(m, file, &size)) << trace.Dump();
    }
    const std::vector<std::string> kept = testenv::ListFolder(local, "*.keep");
    ASSERT_EQ(1u, kept.size()) << trace.Dump();
    const size_t keptBytes = testenv::ReadFile(local + "\\" + kept[0]).size();

    FixtureServer second = FixtureServer::Ftp(root);
    Connect(second, PROTOCOL_FTP);
    progress.clear();
    {
        CPartialFile file;
        ASSERT_EQ(1, net.ReceiveFile(m, file, &size)) << trace.Dump();
        ASSERT_TRUE(file.Commit().Ok());
    }
    EXPECT_TRUE(module == testenv::ReadFile(target));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(module.size(), progress.back().total);
    EXPECT_TRUE(trace.Has(3, "DownloadFile(/m.bin->" + target + ") : continued from byte " +
                                 std::to_string(keptBytes) + " of a kept partial file"))
        << trace.Dump();
}

} // namespace
