// Modules received by their block maps: the chunks the installed file has
// reused, the rest fetched by range, and the whole download whenever
// anything is unexpected.
#include "BlockReceive.h"
#include "EngineTest.h"

#include <memory>
#include <sstream>

namespace {

// Bytes no cut repeats: a fixed sequence of a linear congruential generator.
std::string Noise(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<char>(seed >> 16);
    }
    return bytes;
}

// The file's SHA-256 as openssl gives it.
std::string Sha256Of(const std::string& path) {
    return BrokerCall("sha256 " + testenv::ToUnix(path)).substr(3);
}

blockmap::BlockMap MapOf(const std::string& bytes) {
    CChunkSha256 digest;
    blockmap::MapBuilder builder(digest);
    builder.Add(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    blockmap::BlockMap map;
    EXPECT_TRUE(builder.Finish(map));
    return map;
}

// The body bytes nginx's access log gives for the path's requests.
unsigned long long BytesSent(const FixtureServer& server, const std::string& path) {
    std::istringstream log(testenv::ReadFile(server.LogPath()));
    unsigned long long sum = 0;
    for (std::string line; std::getline(log, line);) {
        const size_t request = line.find("\"GET " + path + " HTTP");
        if (request == std::string::npos)
            continue;
        std::istringstream rest(line.substr(line.find('"', request + 1) + 1));
        int status = 0;
        unsigned long long bytes = 0;
        rest >> status >> bytes;
        sum += bytes;
    }
    return sum;
}

class BlockReceiveTest : public ::testing::Test {
protected:
    // Release 1 installed, release 2 and its map on the server; the line
    // names the map and the module's digest and size.
    ModuleRecord& Publish(const std::string& installed, const std::string& served) {
        EXPECT_TRUE(testenv::WriteFile(local + "\\m.dll", installed));
        EXPECT_TRUE(testenv::WriteFile(root + "\\m.dll", served));
        const std::string map = blockmap::MapText(MapOf(served));
        EXPECT_TRUE(testenv::WriteFile(root + "\\m.dll.blocks", map));
        ModuleRecord& r = AddModule(*manager, local + "\\m.dll", "/m.dll", "", 1);
        r.sha256 = Sha256Of(root + "\\m.dll");
        r.size = static_cast<long long>(served.size());
        r.blocks = "/m.dll.blocks";
        r.blocksSha256 = Sha256Of(root + "\\m.dll.blocks");
        return r;
    }
    void Connect(const FixtureServer& server, int protocol) {
        ASSERT_TRUE(server.Ok()) << server.Error();
        UpdateConfig config;
        config.remoteAddress = "127.0.0.1";
        config.protocol = protocol;
        config.remotePort = server.Port();
        SetConfig(*manager, config);
        ASSERT_EQ(1, manager->ConnectServer()) << trace.Dump();
    }

    std::string root = testenv::NewDir("server"), local = testenv::NewDir("local");
    const std::string release1 = Noise(3 << 20, 1);
    TraceRecorder trace;
    std::unique_ptr<CAULMgr> manager = std::make_unique<CAULMgr>();
};

// Faults: chunks the installed file has fetched again, chunks changed in
// the middle and at the end not fetched, a module made of the wrong bytes,
// or the pass counting the module's bytes as received.
TEST_F(BlockReceiveTest, OnlyTheChangedChunksAreFetched) {
    std::string release2 = release1;
    release2.replace(1500000, 3000, Noise(3000, 2));
    release2 += Noise(100000, 3);
    FixtureServer nginx = FixtureServer::Nginx(root);
    Connect(nginx, PROTOCOL_HTTP);
    Publish(release1, release2);
    EXPECT_EQ(1, manager->DownloadNewFiles());
    EXPECT_TRUE(release2 == testenv::ReadFile(local + "\\m.dll")) << trace.Dump();

    const blockmap::BlockMap have = MapOf(release1), wanted = MapOf(release2);
    unsigned long long changed = 0;
    for (const blockmap::Chunk& c : wanted.chunks) {
        bool found = false;
        for (const blockmap::Chunk& h : have.chunks)
            found = found || h.sha256 == c.sha256;
        changed += found ? 0 : c.length;
    }
    EXPECT_LT(changed, release2.size() / 4);
    EXPECT_EQ(changed, BytesSent(nginx, "/m.dll")) << trace.Dump();
    EXPECT_EQ(changed + BytesSent(nginx, "/m.dll.blocks"),
              EngineTestAccess::Outcome(*manager).bytesReceived);
    EXPECT_TRUE(trace.Has(
        3, "DownloadNewFiles : /m.dll by its block map : " + std::to_string(changed) +
               " bytes fetched, " + std::to_string(release2.size() - changed) + " reused"))
        << trace.Dump();
}

// Faults: a server that ignores Range, a map that fails its digest, FTP or
// a local file with nothing in common leaving the module uninstalled or
// wrong; each is received whole (the last by its map, all of it fetched).
TEST_F(BlockReceiveTest, AnythingUnexpectedEndsInTheWholeModule) {
    const std::string release2 = Noise(1 << 20, 4);
    const struct {
        const char* server;
        bool badMap;
        const char* why; // the level-2 trace's reason; null: none
    } cases[] = {{"norange", false, "a range was not served as asked"},
                 {"nginx", true, "block map fails its digest"},
                 {"ftp", false, "no byte ranges over this protocol"},
                 {"nginx", false, nullptr}};
    for (const auto& c : cases) {
        const std::string kind = c.server;
        FixtureServer server = kind == "ftp"       ? FixtureServer::Ftp(root)
                               : kind == "norange" ? FixtureServer::Script(root, "norange=1")
                                                   : FixtureServer::Nginx(root);
        Connect(server, kind == "ftp" ? PROTOCOL_FTP : PROTOCOL_HTTP);
        ModuleRecord& r = Publish(release1, release2);
        if (c.badMap)
            r.blocksSha256 = std::string(64, '0');
        EXPECT_EQ(1, manager->DownloadNewFiles()) << kind;
        EXPECT_TRUE(release2 == testenv::ReadFile(local + "\\m.dll")) << kind << trace.Dump();
        if (c.why)
            EXPECT_TRUE(trace.Has(2, std::string("DownloadNewFiles : /m.dll : ") + c.why +
                                         ", the whole module is received"))
                << kind << trace.Dump();
        else
            EXPECT_TRUE(trace.Has(3, "DownloadNewFiles : /m.dll by its block map : " +
                                         std::to_string(release2.size()) +
                                         " bytes fetched, 0 reused"))
                << trace.Dump();
        trace.Clear();
        manager = std::make_unique<CAULMgr>();
    }
}

} // namespace
