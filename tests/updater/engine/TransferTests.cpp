#include "EngineTest.h"

#include <ctime>

namespace {

// Recent and to the minute: FTP listings show recent files without seconds.
const time_t kStamp = (std::time(nullptr) - 10 * 86400) / 60 * 60;

class ServerTest : public ::testing::Test {
protected:
    void Connect(const FixtureServer& server, int protocol) {
        ASSERT_TRUE(server.Ok()) << server.Error();
        const bool ftp = protocol == PROTOCOL_FTP;
        UpdateConfig config;
        config.remoteAddress = "127.0.0.1";
        config.protocol = protocol;
        config.remotePort = server.Port();
        config.loginName = ftp ? "tav" : "";
        config.loginPassword = ftp ? "secret" : "";
        manager.SetConfig(config);
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }

    std::string root = testenv::NewDir("server"), local = testenv::NewDir("local");
    TraceRecorder trace;
    CAULMgr manager;
};

// Against FTP (pyftpdlib, times from its listing) and HTTP (nginx, HEAD).
class CompareTest : public ServerTest, public ::testing::WithParamInterface<int> {
protected:
    FixtureServer server =
        GetParam() == PROTOCOL_FTP ? FixtureServer::Ftp(root) : FixtureServer::Nginx(root);
};

// Faults: equal times taken for newer, the comparison turned round, a missing
// local file kept missing, the forced option ignored or read in lower case, a
// module whose server time is unknown left stale, an earlier decision kept.
TEST_P(CompareTest, LocalAndServerTimesDecideWhatIsFetched) {
    Connect(server, GetParam());
    const struct {
        const char* name;
        bool local, served;
        time_t offset;
        const char* option;
        int download;
    } cases[] = {{"equal.dll", true, true, 0, "", 0},     {"older.dll", true, true, -60, "", 1},
                 {"newer.dll", true, true, 3600, "", 0},  {"missing.dll", false, true, 0, "", 1},
                 {"forced.dll", true, true, 0, "FRE", 1}, {"lower.dll", true, true, 0, "f", 0},
                 {"gone.dll", true, false, 0, "", 1}};
    for (const auto& c : cases) {
        const std::string served = root + "\\" + c.name, path = local + "\\" + c.name;
        if (c.served) {
            ASSERT_TRUE(testenv::WriteFile(served, "server copy"));
            ASSERT_TRUE(testenv::SetFileTime(served, kStamp));
        }
        if (c.local) {
            ASSERT_TRUE(testenv::WriteFile(path, "local copy"));
            ASSERT_TRUE(testenv::SetFileTime(path, kStamp + c.offset));
        }
        AddModule(manager, path, std::string("/") + c.name, c.option, 1);
    }
    ASSERT_EQ(1, manager.CompareVersionInfo()) << trace.Dump();
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].download, manager.Modules()[i]->download) << cases[i].name;
    EXPECT_EQ(4, manager.CountModulesToUpdate());
}

INSTANTIATE_TEST_SUITE_P(Protocols, CompareTest,
                         ::testing::Values(int(PROTOCOL_FTP), int(PROTOCOL_HTTP)));

class DownloadLoopTest : public ServerTest {
protected:
    void SetUp() override { Connect(server, PROTOCOL_HTTP); }
    FixtureServer server = FixtureServer::Script(root);
};

// Faults: an unselected module fetched, a module whose size is unknown
// fetched all the same, a failed size query or transfer ending the loop or
// dropping the module's selection (its registration still follows).
TEST_F(DownloadLoopTest, SelectedModulesAreFetchedInTurnWhateverBefallsTheOthers) {
    const struct {
        const char* remote;
        int download;
        size_t fetched; // bytes, 0: nothing
    } cases[] = {{"/kept?size=100", 0, 0},
                 {"/gone.dll", 1, 0},
                 {"/unsized?size=5000&nolength=1", 1, 0},
                 {"/cut?size=20000&cut=5000", 1, 0},
                 {"/whole?size=6000", 1, 6000}};
    for (const auto& c : cases)
        AddModule(manager, local + "\\" + std::to_string(&c - cases) + ".dll", c.remote, "",
                  c.download);
    EXPECT_EQ(1, manager.DownloadNewFiles());
    for (size_t i = 0; i < std::size(cases); ++i) {
        const ModuleRecord& r = *manager.Modules()[i];
        EXPECT_EQ(cases[i].fetched != 0, testenv::FileExists(r.localFile)) << r.remoteFile;
        EXPECT_TRUE(ScriptedBody(cases[i].fetched) == testenv::ReadFile(r.localFile));
        EXPECT_EQ(cases[i].download, r.download) << r.remoteFile;
    }
    EXPECT_EQ(0, server.CountRequests("/kept"));
}

// A list's size= is kept to in every pass. Fault: a server that sends far
// more than listed grows the partial file until the body ends.
TEST_F(DownloadLoopTest, BodyFarLongerThanItsListedSizeIsStoppedNearIt) {
    const DWORD listed = 10000;
    AddModule(manager, local + "\\long.dll", "/long?size=8000000", "", 1).size = listed;
    EXPECT_EQ(1, manager.DownloadNewFiles());
    EXPECT_FALSE(testenv::FileExists(local + "\\long.dll"));
    EXPECT_TRUE(testenv::ListFolder(local).empty());
    unsigned long long read = 0;
    for (const std::string& t : trace.Texts()) {
        const size_t at = t.find(" : InternetReadFile[");
        if (at != std::string::npos)
            read += std::stoull(t.substr(t.rfind(':') + 1));
    }
    EXPECT_GE(read, listed);
    // Stopped within a read of the size, whatever the read size.
    EXPECT_LT(read, listed + (1u << 20)) << trace.Dump();
}

} // namespace
