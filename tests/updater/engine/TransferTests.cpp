#include "EngineTest.h"

#include <ctime>

namespace {

// An hour ago, to the minute: FTP listings show recent files without seconds.
const time_t kStamp = (std::time(nullptr) - 3600) / 60 * 60;

// An unsigned configuration for a server, without credentials.
UpdateConfig ServerConfig(const std::string& host, int protocol, int port,
                          const std::string& remoteList = "", const std::string& localList = "") {
    UpdateConfig config;
    config.remoteAddress = host;
    config.protocol = protocol;
    config.remotePort = port;
    config.remoteVersionFile = remoteList;
    config.localVersionFile = localList;
    return config;
}

class ServerTest : public ::testing::Test {
protected:
    // Anonymous for FTP.
    void Connect(const FixtureServer& server, int protocol) {
        ASSERT_TRUE(server.Ok()) << server.Error();
        SetConfig(manager, ServerConfig("127.0.0.1", protocol, server.Port()));
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }

    std::string root = testenv::NewDir("server"), local = testenv::NewDir("local");
    TraceRecorder trace;
    CAULMgr manager;
};

// Against an FTP server that gives times in UTC (vsftpd as Debian ships it;
// the runner's zone is UTC+9), one that knows no SIZE or MDTM and lists local
// times (pyftpdlib so set), and HTTP (nginx, HEAD).
class CompareTest : public ServerTest, public ::testing::WithParamInterface<const char*> {
protected:
    const std::string kind = GetParam();
    FixtureServer server = kind == "vsftpd"    ? FixtureServer::Vsftpd(root)
                           : kind == "listing" ? FixtureServer::Ftp(root, "listing")
                                               : FixtureServer::Nginx(root);
};

// Faults: equal times taken for newer, the comparison turned round, a module
// replaced an hour ago kept over a copy four hours old (a UTC time read as
// local), a missing local file kept missing, the forced option ignored or
// read in lower case, a module whose server time is unknown left stale, an
// earlier decision kept.
TEST_P(CompareTest, LocalAndServerTimesDecideWhatIsFetched) {
    Connect(server, kind == "nginx" ? PROTOCOL_HTTP : PROTOCOL_FTP);
    const struct {
        const char* name;
        bool local, served;
        time_t offset;
        const char* option;
        int download;
    } cases[] = {
        {"equal.dll", true, true, 0, "", 0},     {"older.dll", true, true, -3 * 3600, "", 1},
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

INSTANTIATE_TEST_SUITE_P(Servers, CompareTest, ::testing::Values("vsftpd", "listing", "nginx"));

class DownloadLoopTest : public ServerTest {
protected:
    void SetUp() override { Connect(server, PROTOCOL_HTTP); }
    FixtureServer server = FixtureServer::Script(root);
};

// Faults: an unselected module fetched, a failed request or transfer ending
// the loop or dropping the module's selection (its registration still
// follows), a body without a length (chunked) refused, with its size listed
// or not, a Korean name (code page 949 in the list) asked for in other bytes
// than the server's UTF-8 file name.
TEST_F(DownloadLoopTest, SelectedModulesAreFetchedInTurnWhateverBefallsTheOthers) {
    ASSERT_TRUE(testenv::WriteFile(root + "\\모듈 한글.bin", ScriptedBody(7000)));
    const struct {
        const char* remote;
        int download;
        size_t fetched; // bytes, 0: nothing
        long long listed;
    } cases[] = {{"/kept?size=100", 0, 0, -1},
                 {"/gone.dll", 1, 0, -1},
                 {"/unsized?size=5000&nolength=1", 1, 5000, -1},
                 {"/listed?size=5000&nolength=1", 1, 5000, 5000},
                 {"/cut?size=20000&cut=5000", 1, 0, -1},
                 {"/whole?size=6000", 1, 6000, -1},
                 {"/모듈 한글.bin", 1, 7000, -1}};
    for (const auto& c : cases)
        AddModule(manager, local + "\\" + std::to_string(&c - cases) + ".dll", c.remote, "",
                  c.download)
            .size = c.listed;
    EXPECT_EQ(1, manager.DownloadNewFiles());
    for (size_t i = 0; i < std::size(cases); ++i) {
        const ModuleRecord& r = *manager.Modules()[i];
        EXPECT_EQ(cases[i].fetched != 0, testenv::FileExists(r.localFile)) << r.remoteFile;
        EXPECT_TRUE(ScriptedBody(cases[i].fetched) == testenv::ReadFile(r.localFile));
        EXPECT_EQ(cases[i].download, r.download) << r.remoteFile;
    }
    EXPECT_EQ(0, server.CountRequests("/kept"));
}

// Faults: a module the server does not have downloaded without its size
// asked first, given an empty folder, or its local file opened (a download
// line) before the server answered.
TEST_F(DownloadLoopTest, ModuleTheServerDoesNotHaveFailsItsSizeQueryAndMakesNoFolder) {
    AddModule(manager, local + "\\new\\gone.dll", "/gone.dll", "", 1);
    AddModule(manager, local + "\\gone.dll", "/gone.dll", "", 1);
    EXPECT_EQ(1, manager.DownloadNewFiles());
    EXPECT_TRUE(trace.Has(1, "DownloadNewFiles : GetRemoteFileSize(/gone.dll) ERROR"))
        << trace.Dump();
    EXPECT_FALSE(testenv::FileExists(local + "\\new"));
    EXPECT_FALSE(trace.Has(3, "DownloadFile(/gone.dll->", true)) << trace.Dump();
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

// Over HTTPS only a certificate this machine trusts, for the host asked for,
// lets the list in. Faults: the certificate of an unknown issuer, or one for
// another host, taken as with its errors ignored; a trusted one refused.
TEST(HttpsTest, OnlyATrustedCertificateForTheHostLetsTheListIn) {
    ASSERT_TRUE(TrustTestCa());
    const std::string root = testenv::NewDir("server"), list = testenv::NewDir("local") + "\\v";
    ASSERT_TRUE(testenv::WriteFile(root + "\\v", "a | /a\r\n"));
    FixtureServer trusted = FixtureServer::Nginx(root, "tls"),
                  self = FixtureServer::Nginx(root, "self");
    const struct {
        const char* host;
        const FixtureServer& server;
        int fetched;
    } cases[] = {{"localhost", trusted, 1}, {"127.0.0.1", trusted, 0}, {"localhost", self, 0}};
    for (const auto& c : cases) {
        ASSERT_TRUE(c.server.Ok()) << c.server.Error();
        TraceRecorder trace;
        CAULMgr manager;
        SetConfig(manager, ServerConfig(c.host, PROTOCOL_HTTPS, c.server.Port(), "/v", list));
        ASSERT_EQ(1, manager.ConnectServer());
        EXPECT_EQ(c.fetched, manager.GetVersionInfo()) << c.host << trace.Dump();
        EXPECT_EQ(c.fetched == 1, ::DeleteFileA(list.c_str()) != FALSE) << c.host;
        EXPECT_EQ(c.fetched == 0,
                  trace.Has(1, "ERROR : Function(HttpSendRequest) failed , EC=120", true))
            << c.host << trace.Dump();
    }
}

} // namespace
