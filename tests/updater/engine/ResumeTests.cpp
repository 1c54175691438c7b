// A module cut on its way is kept and continued by a later pass, from the
// scripted server that cuts it to nginx, which serves ranges as it ships.
#include "EngineTest.h"

#include <ctime>

namespace {

const size_t kModuleBytes = 600000, kCut = 250000;

class ResumeTest : public ::testing::Test {
protected:
    // The compare and download stages of one pass against the server, the
    // modules listed by remote path (the local file named after it), forced,
    // with their digests and sizes when asked.
    void Pass(const FixtureServer& server, const std::vector<std::string>& remotes,
              bool digests = false, bool download = true) {
        ASSERT_TRUE(server.Ok()) << server.Error();
        CAULMgr manager;
        UpdateConfig config;
        config.remoteAddress = "127.0.0.1";
        config.protocol = PROTOCOL_HTTP;
        config.remotePort = server.Port();
        SetConfig(manager, config);
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
        for (const std::string& remote : remotes) {
            const std::string name = remote.substr(1, remote.find('?') - 1);
            ModuleRecord& r = AddModule(manager, local + "\\" + name, remote, "F", 1);
            if (digests) {
                r.sha256 = BrokerCall("sha256 " + testenv::ToUnix(root + "\\" + name)).substr(3);
                r.size = static_cast<long long>(kModuleBytes);
            }
        }
        ASSERT_EQ(1, manager.CompareVersionInfo());
        EXPECT_TRUE(!download || manager.DownloadNewFiles());
    }
    void Serve(const std::string& name, const std::string& content, long long time = 0) {
        const std::string path = root + "\\" + name;
        ASSERT_TRUE(testenv::WriteFile(path, content));
        ASSERT_TRUE(testenv::SetFileTime(path, time ? time : std::time(nullptr) - 3600));
    }
    std::vector<std::string> Kept() const { return testenv::ListFolder(local, "*.keep"); }
    // nginx's access log: requests of the path answered with the status and
    // that many body bytes.
    static int Sent(const FixtureServer& nginx, const std::string& path, int status, size_t bytes) {
        return nginx.CountRequests("\"GET " + path + " HTTP/1.1\" " + std::to_string(status) + " " +
                                   std::to_string(bytes) + " ");
    }

    std::string root = testenv::NewDir("server"), local = testenv::NewDir("local");
    TraceRecorder trace;
};

// Faults: a module cut on its way received again from its first byte (a
// chunked one too, whose cut looks like its end); the bytes kept from the cut
// left unchecked, so a kept file whose bytes went bad is installed (or
// refused for good) instead of received again whole.
TEST_F(ResumeTest, CutModuleIsContinuedByTheNextPassAndCheckedWhole) {
    const std::string a = ScriptedBody(kModuleBytes), b(kModuleBytes, 'b');
    Serve("a.bin", a);
    Serve("b.bin", b);
    Pass(FixtureServer::Script(root, "cut=" + std::to_string(kCut)),
         {"/a.bin", "/b.bin?nolength=1"}, true);
    EXPECT_FALSE(testenv::FileExists(local + "\\a.bin"));
    const std::vector<std::string> kept = Kept();
    ASSERT_EQ(2u, kept.size()) << trace.Dump();
    for (const std::string& name : kept) {
        const std::string path = local + "\\" + name;
        const std::string bytes = testenv::ReadFile(path);
        EXPECT_EQ(kCut, bytes.size());
        ASSERT_TRUE(bytes[0] != 'b' || testenv::WriteFile(path, std::string(kCut, 'x')));
    }

    FixtureServer nginx = FixtureServer::Nginx(root);
    Pass(nginx, {"/a.bin", "/b.bin?nolength=1"}, true);
    EXPECT_TRUE(a == testenv::ReadFile(local + "\\a.bin")) << trace.Dump();
    EXPECT_TRUE(b == testenv::ReadFile(local + "\\b.bin"));
    EXPECT_TRUE(WaitFor([&] { return Sent(nginx, "/b.bin?nolength=1", 200, kModuleBytes) == 1; }));
    EXPECT_EQ(1, Sent(nginx, "/a.bin", 206, kModuleBytes - kCut));
    EXPECT_EQ(1, Sent(nginx, "/b.bin?nolength=1", 206, kModuleBytes - kCut));
    EXPECT_EQ(0, nginx.CountRequests("/a.bin HTTP/1.1\" 200"));
    EXPECT_TRUE(Kept().empty());
}

// A kept file that the server will not continue: it ignores the range (200),
// or its file changed (nginx answers the If-Range with the whole new file; a
// server that ignores If-Range sends a part of the new copy).
// Fault: the kept bytes and the new body put together, a module that is
// neither copy (no digest listed to catch it).
TEST_F(ResumeTest, KeptFileTheServerWillNotContinueIsReplacedFromTheStart) {
    const std::string before = ScriptedBody(kModuleBytes), after(kModuleBytes, 'n');
    const std::string range = " Range: bytes=" + std::to_string(kCut);
    // One module at a time: a pass sweeps the kept files of modules it does
    // not list.
    const auto cut = [&](const std::string& name) {
        Serve(name, before);
        Pass(FixtureServer::Script(root, "cut=" + std::to_string(kCut)), {"/" + name});
        ASSERT_EQ(1u, Kept().size()) << trace.Dump();
    };
    cut("ignored.bin");
    FixtureServer script = FixtureServer::Script(root, "norange=1");
    Pass(script, {"/ignored.bin"});
    EXPECT_TRUE(before == testenv::ReadFile(local + "\\ignored.bin")) << trace.Dump();
    EXPECT_EQ(1, script.CountRequests("GET /ignored.bin" + range));

    cut("changed.bin");
    Serve("changed.bin", after, std::time(nullptr) - 60);
    FixtureServer nginx = FixtureServer::Nginx(root);
    Pass(nginx, {"/changed.bin"});
    EXPECT_TRUE(after == testenv::ReadFile(local + "\\changed.bin")) << trace.Dump();
    EXPECT_TRUE(WaitFor([&] { return Sent(nginx, "/changed.bin", 200, kModuleBytes) == 1; }));

    cut("stale.bin");
    Serve("stale.bin", after, std::time(nullptr) - 60);
    FixtureServer ignoring = FixtureServer::Script(root, "noifrange=1");
    Pass(ignoring, {"/stale.bin"});
    EXPECT_TRUE(after == testenv::ReadFile(local + "\\stale.bin")) << trace.Dump();
    EXPECT_EQ(1, ignoring.CountRequests("GET /stale.bin" + range));
    EXPECT_TRUE(Kept().empty());
}

// Faults: kept files that no pass will continue (a module no longer listed,
// one kept for days) left to fill the disk; one a listed module may still
// continue swept with them. Each module is cut at its own length, which tells
// whose a kept file is.
TEST_F(ResumeTest, KeptFilesOfUnlistedModulesOrOlderThanDaysAreSwept) {
    for (const char* name : {"fresh.bin", "old.bin", "gone.bin"})
        Serve(name, ScriptedBody(kModuleBytes));
    const std::vector<std::string> listed = {"/fresh.bin?cut=100000", "/old.bin?cut=200000"};
    std::vector<std::string> all = listed;
    all.push_back("/gone.bin?cut=300000");
    FixtureServer script = FixtureServer::Script(root);
    Pass(script, all);
    ASSERT_EQ(3u, Kept().size()) << trace.Dump();
    for (const std::string& name : Kept()) {
        const std::string path = local + "\\" + name;
        ASSERT_TRUE(testenv::ReadFile(path).size() != 200000 ||
                    testenv::SetFileTime(path, std::time(nullptr) - 4 * 86400));
    }
    Pass(script, listed, false, false);
    ASSERT_EQ(1u, Kept().size());
    EXPECT_EQ(100000u, testenv::ReadFile(local + "\\" + Kept().front()).size());
}

} // namespace
