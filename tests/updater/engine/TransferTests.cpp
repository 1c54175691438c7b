#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"
#include "UpdateWindow.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

std::string Content(size_t n, char seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + i * 7);
    return s;
}

// Recent and to the minute: FTP listings show recent files without seconds.
const time_t kStamp = (std::time(nullptr) - 10 * 86400) / 60 * 60;

// As the engine traces a time: Korean local time, nine hours ahead of UTC.
std::string Shown(time_t t) {
    time_t wallClock = t + 9 * 3600;
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", std::gmtime(&wallClock));
    return text;
}

FixtureServer Serve(int protocol, const std::string& root) {
    return protocol == PROTOCOL_FTP ? FixtureServer::Ftp(root, "tav", "secret")
                                    : FixtureServer::Nginx(root);
}

// Every case runs against FTP (pyftpdlib) and HTTP (nginx).
class TransferTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        UpdateConfig& c = manager.m_config;
        c.remoteAddress = "127.0.0.1";
        c.protocol = GetParam();
        c.remotePort = server.Port();
        c.loginName = GetParam() == PROTOCOL_FTP ? "tav" : "";
        c.loginPassword = GetParam() == PROTOCOL_FTP ? "secret" : "";
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }

    // A module on the server with its own content and time.
    void Served(const std::string& name, const std::string& content, time_t modified = kStamp) {
        ASSERT_TRUE(testenv::WriteFile(root + "\\" + name, content));
        ASSERT_TRUE(testenv::SetFileTime(root + "\\" + name, modified));
    }
    std::string Local(const std::string& name, const char* content = nullptr, time_t modified = 0) {
        std::string path = local + "\\" + name;
        if (content) {
            EXPECT_TRUE(testenv::WriteFile(path, content));
            EXPECT_TRUE(testenv::SetFileTime(path, modified));
        }
        return path;
    }
    ModuleRecord& Add(const std::string& localPath, const std::string& remote,
                      const std::string& option = "") {
        auto r = std::make_unique<ModuleRecord>();
        r->localFile = localPath;
        r->remoteFile = remote;
        r->updateOption = option;
        manager.m_modules.push_back(std::move(r));
        return *manager.m_modules.back();
    }
    std::string CompareLine(int number, const std::string& path, const std::string& localTime,
                            const std::string& serverTime, int download) {
        char n[8];
        std::snprintf(n, sizeof(n), "%2d", number);
        return "CompareVersionInfo : Module[" + std::string(n) + "] : " + path + " : Local Time(" +
               localTime + ") , Server Time(" + serverTime +
               ") -> Download =" + std::to_string(download);
    }

    std::string root = testenv::NewDir("server");
    std::string local = testenv::NewDir("local");
    FixtureServer server = Serve(GetParam(), root);
    TraceRecorder trace;
    CAULMgr manager;
};

// Faults: equal times taken for newer, the comparison turned round, a
// missing local file kept missing, the forced option ignored.
TEST_P(TransferTest, LocalAndServerTimesDecideWhatIsFetched) {
    for (const char* name :
         {"equal.dll", "older.dll", "newer.dll", "missing.dll", "forced.dll", "lower.dll"})
        Served(name, "server copy");
    ModuleRecord& equal = Add(Local("equal.dll", "local", kStamp), "/equal.dll");
    ModuleRecord& older = Add(Local("older.dll", "local", kStamp - 60), "/older.dll");
    ModuleRecord& newer = Add(Local("newer.dll", "local", kStamp + 3600), "/newer.dll");
    ModuleRecord& missing = Add(Local("missing.dll"), "/missing.dll", "R");
    ModuleRecord& forced = Add(Local("forced.dll", "local", kStamp), "/forced.dll", "FRE");
    ModuleRecord& lower = Add(Local("lower.dll", "local", kStamp), "/lower.dll", "f");
    newer.download = 1; // rewritten by every comparison

    ASSERT_EQ(1, manager.CompareVersionInfo());
    EXPECT_EQ(STATUS_COMPARE, manager.m_nStatus);
    EXPECT_EQ(0, equal.download);
    EXPECT_EQ(1, older.download);
    EXPECT_EQ(0, newer.download);
    EXPECT_EQ(1, missing.download);
    EXPECT_EQ(1, forced.download);
    EXPECT_EQ(0, lower.download);
    EXPECT_EQ(3, manager.CountModulesToUpdate());

    std::vector<std::string> expected = {
        CompareLine(1, equal.localFile, Shown(kStamp), Shown(kStamp), 0),
        CompareLine(2, older.localFile, Shown(kStamp - 60), Shown(kStamp), 1),
        CompareLine(3, newer.localFile, Shown(kStamp + 3600), Shown(kStamp), 0),
        CompareLine(4, missing.localFile, "unknown", Shown(kStamp), 1),
        "CompareVersionInfo : Module[ 5] : " + forced.localFile +
            " : Update Option(FRE)-> will be downloded ",
        CompareLine(6, lower.localFile, Shown(kStamp), Shown(kStamp), 0),
    };
    std::vector<std::string> compare;
    for (const auto& t : trace.Texts(3))
        if (t.rfind("CompareVersionInfo", 0) == 0)
            compare.push_back(t);
    EXPECT_EQ(expected, compare) << trace.Dump();
}

// Without a server time there is nothing to compare with: the module is
// fetched rather than left stale.
TEST_P(TransferTest, ModuleWhoseServerTimeIsUnknownIsFetched) {
    ModuleRecord& gone = Add(Local("gone.dll", "local", kStamp), "/gone.dll");
    ASSERT_EQ(1, manager.CompareVersionInfo());
    EXPECT_EQ(1, gone.download);
    EXPECT_TRUE(trace.Has(3, CompareLine(1, gone.localFile, Shown(kStamp), "unknown", 1)))
        << trace.Dump();
}

// Faults: an unselected module fetched, a failed size query stopping the
// loop, the progress display not driven.
TEST_P(TransferTest, SelectedModulesAreFetchedOneAfterAnother) {
    Served("a.dll", Content(10000, 'a'));
    Served("b.exe", Content(5000, 'b'));
    Served("kept.dll", Content(100, 'k'));
    enginetest::UpdateWindow window;
    window.Attach(manager);
    ModuleRecord& a = Add(Local("a.dll"), "/a.dll");
    ModuleRecord& gone = Add(Local("gone.dll"), "/gone.dll");
    ModuleRecord& kept = Add(Local("kept.dll", "old", kStamp), "/kept.dll");
    ModuleRecord& b = Add(local + "\\new folder\\b.exe", "/b.exe");
    a.download = gone.download = b.download = 1;

    EXPECT_EQ(1, manager.DownloadNewFiles());
    EXPECT_EQ(STATUS_DOWNLOAD, manager.m_nStatus);
    EXPECT_TRUE(Content(10000, 'a') == testenv::ReadFile(a.localFile));
    EXPECT_TRUE(Content(5000, 'b') == testenv::ReadFile(b.localFile));
    EXPECT_EQ("old", testenv::ReadFile(kept.localFile));
    EXPECT_FALSE(testenv::FileExists(gone.localFile));
    EXPECT_EQ(1, gone.download); // still selected for the registration stage

    EXPECT_TRUE(trace.Has(3, "DownloadNewFiles : DownloadFile(/a.dll->" + a.localFile +
                                 ") OK . 10000 Bytes"))
        << trace.Dump();
    EXPECT_TRUE(trace.Has(3, "DownloadNewFiles : DownloadFile(/b.exe->" + b.localFile +
                                 ") OK . 5000 Bytes"))
        << trace.Dump();
    EXPECT_TRUE(trace.Has(1, "DownloadNewFiles : GetRemoteFileSize(/gone.dll) ERROR"))
        << trace.Dump();
    EXPECT_FALSE(trace.HasPrefix(3, "DownloadNewFiles : DownloadFile(/kept.dll"));

    // The display keeps the last block of the last file.
    EXPECT_EQ("Downloading... " + b.localFile, window.Text(1003));
    EXPECT_EQ("[      5000/      5000]", window.Text(1004));
    EXPECT_EQ(100, window.Pos(1002));
    EXPECT_EQ(5, window.Pos(1000));
}

// Faults: the version list moving the download display, a failed fetch
// reported as success.
TEST_P(TransferTest, VersionListIsFetchedWithoutProgress) {
    Served("version.txt", "C:\\Omblet\\a.dll|/a.dll|R\r\n");
    enginetest::UpdateWindow window;
    window.Attach(manager);
    manager.m_config.remoteVersionFile = "/version.txt";
    manager.m_config.localVersionFile = local + "\\version.txt";
    ASSERT_EQ(1, manager.GetVersionInfo()) << trace.Dump();
    EXPECT_EQ(STATUS_GET_VERSION, manager.m_nStatus);
    EXPECT_TRUE(
        trace.Has(3, "GetVersionInfo : DownloadFile(/version.txt->" + local + "\\version.txt) OK"));
    EXPECT_EQ("", window.Text(1003));
    EXPECT_EQ("", window.Text(1004));
    EXPECT_EQ(0, window.Pos(1002));
    ASSERT_EQ(1, manager.ParseVersionInfo());
    ASSERT_EQ(1u, manager.m_modules.size());
    EXPECT_EQ("/a.dll", manager.m_modules[0]->remoteFile);

    manager.m_config.remoteVersionFile = "/no-such-list.txt";
    EXPECT_EQ(0, manager.GetVersionInfo());
    EXPECT_TRUE(trace.Has(1, "GetVersionInfo : DownloadFile(/no-such-list.txt->" + local +
                                 "\\version.txt) ERROR"))
        << trace.Dump();
}

INSTANTIATE_TEST_SUITE_P(Protocols, TransferTest,
                         ::testing::Values(int(PROTOCOL_FTP), int(PROTOCOL_HTTP)),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == PROTOCOL_FTP ? "Ftp" : "Http";
                         });

// Responses a stock server will not give, from the scripted HTTP server.
class ScriptedHttpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        UpdateConfig& c = manager.m_config;
        c.remoteAddress = "127.0.0.1";
        c.protocol = PROTOCOL_HTTP;
        c.remotePort = server.Port();
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }
    ModuleRecord& Add(const std::string& name, const std::string& remote, int download) {
        auto r = std::make_unique<ModuleRecord>();
        r->localFile = local + "\\" + name;
        r->remoteFile = remote;
        r->download = download;
        manager.m_modules.push_back(std::move(r));
        return *manager.m_modules.back();
    }

    std::string root = testenv::NewDir("script");
    std::string local = testenv::NewDir("local");
    FixtureServer server = FixtureServer::Script(root);
    TraceRecorder trace;
    CAULMgr manager;
};

// A server that sends no Last-Modified must not leave the module stale forever.
TEST_F(ScriptedHttpTest, NoLastModifiedMeansFetch) {
    std::string path = local + "\\current.dll";
    ASSERT_TRUE(testenv::WriteFile(path, "local"));
    ASSERT_TRUE(testenv::SetFileTime(path, kStamp));
    ModuleRecord& r = Add("current.dll", "/current.dll?size=10&nomodified=1", 0);
    ASSERT_EQ(1, manager.CompareVersionInfo());
    EXPECT_EQ(1, r.download);
    EXPECT_TRUE(trace.Has(3, "CompareVersionInfo : Module[ 1] : " + path + " : Local Time(" +
                                 Shown(kStamp) + ") , Server Time(unknown) -> Download =1"))
        << trace.Dump();
}

// Faults: a module without a size fetched anyway, a broken transfer reported
// as done, or ending the loop.
TEST_F(ScriptedHttpTest, UnsizedAndBrokenTransfersAreReportedAndTheLoopGoesOn) {
    ModuleRecord& chunked = Add("chunked.dll", "/chunked.dll?size=5000&nolength=1", 1);
    ModuleRecord& dropped = Add("dropped.dll", "/dropped.dll?size=20000&drop=5000", 1);
    ModuleRecord& whole = Add("whole.dll", "/whole.dll?size=6000", 1);
    EXPECT_EQ(1, manager.DownloadNewFiles());
    EXPECT_TRUE(
        trace.Has(1, "DownloadNewFiles : GetRemoteFileSize(" + chunked.remoteFile + ") ERROR"))
        << trace.Dump();
    EXPECT_FALSE(testenv::FileExists(chunked.localFile));
    EXPECT_TRUE(trace.Has(1, "DownloadNewFiles : DownloadFile(" + dropped.remoteFile + "->" +
                                 dropped.localFile + ") ERROR"))
        << trace.Dump();
    EXPECT_TRUE(trace.Has(3, "DownloadNewFiles : DownloadFile(" + whole.remoteFile + "->" +
                                 whole.localFile + ") OK . 6000 Bytes"))
        << trace.Dump();
    EXPECT_EQ(6000u, testenv::ReadFile(whole.localFile).size());
    EXPECT_EQ(1, chunked.download);
    EXPECT_EQ(1, dropped.download);
}

class ConnectTest : public ::testing::Test {
protected:
    void Configure(int protocol, int port, const char* user, const char* password) {
        UpdateConfig& c = manager.m_config;
        c.remoteAddress = "127.0.0.1";
        c.protocol = protocol;
        c.remotePort = port;
        c.loginName = user;
        c.loginPassword = password;
    }
    std::string root = testenv::NewDir("connect");
    FixtureServer ftp = FixtureServer::Ftp(root, "tav", "secret");
    TraceRecorder trace;
    CAULMgr manager;
};

// Only the low 16 bits of the setting are the port; the trace shows the setting.
TEST_F(ConnectTest, PortSettingKeepsItsLowSixteenBits) {
    ASSERT_TRUE(ftp.Ok()) << ftp.Error();
    Configure(PROTOCOL_FTP, ftp.Port() + 65536, "tav", "secret");
    EXPECT_EQ(1, manager.ConnectServer()) << trace.Dump();
    EXPECT_EQ(ftp.Port(), manager.m_downloader.m_nRemotePort);
    EXPECT_TRUE(trace.Has(3, "ConnectServer(127.0.0.1, 1, " + std::to_string(ftp.Port() + 65536) +
                                 ", tav, secret) : OK"))
        << trace.Dump();
}

TEST_F(ConnectTest, RefusedLoginIsReported) {
    ASSERT_TRUE(ftp.Ok()) << ftp.Error();
    Configure(PROTOCOL_FTP, ftp.Port(), "tav", "wrong");
    EXPECT_EQ(0, manager.ConnectServer());
    EXPECT_TRUE(trace.Has(1, "ConnectServer(127.0.0.1, 1,  " + std::to_string(ftp.Port()) +
                                 ", tav, wrong) : ERROR"))
        << trace.Dump();
}

TEST_F(ConnectTest, UnknownProtocolIsRefusedBeforeAnyConnection) {
    Configure(2, 65536 + 21, "user", "pw");
    EXPECT_EQ(0, manager.ConnectServer());
    EXPECT_EQ(STATUS_CONNECT, manager.m_nStatus);
    EXPECT_TRUE(trace.Has(1, "ConnectServer :  ERROR SetLoginInfo(127.0.0.1, 2,  21, user, pw) "))
        << trace.Dump();
    EXPECT_EQ(nullptr, manager.m_downloader.m_hInternet);
}

} // namespace
