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

std::string CompareLine(int number, const std::string& path, const std::string& localTime,
                        const std::string& serverTime, int download) {
    char n[8];
    std::snprintf(n, sizeof(n), "%2d", number);
    return "CompareVersionInfo : Module[" + std::string(n) + "] : " + path + " : Local Time(" +
           localTime + ") , Server Time(" + serverTime +
           ") -> Download =" + std::to_string(download);
}

class EngineTest : public ::testing::Test {
protected:
    void Connect(const FixtureServer& server, int protocol) {
        ASSERT_TRUE(server.Ok()) << server.Error();
        UpdateConfig& c = manager.m_config;
        c.remoteAddress = "127.0.0.1";
        c.protocol = protocol;
        c.remotePort = server.Port();
        c.loginName = protocol == PROTOCOL_FTP ? "tav" : "";
        c.loginPassword = protocol == PROTOCOL_FTP ? "secret" : "";
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }
    // A module on the server with its own content and time.
    void Served(const std::string& name, const std::string& content) {
        ASSERT_TRUE(testenv::WriteFile(root + "\\" + name, content));
        ASSERT_TRUE(testenv::SetFileTime(root + "\\" + name, kStamp));
    }
    // A listed module; its local file is written only when content is given.
    ModuleRecord& Add(const std::string& name, const std::string& remote, int download,
                      const char* content = nullptr, time_t modified = kStamp) {
        manager.m_modules.push_back(std::make_unique<ModuleRecord>());
        ModuleRecord& r = *manager.m_modules.back();
        r.localFile = local + "\\" + name;
        r.remoteFile = remote;
        r.download = download;
        if (content) {
            EXPECT_TRUE(testenv::WriteFile(r.localFile, content));
            EXPECT_TRUE(testenv::SetFileTime(r.localFile, modified));
        }
        return r;
    }

    // The traces of one stage, every level, in order.
    std::vector<std::string> Stage(const std::string& name) const {
        std::vector<std::string> texts;
        for (const auto& t : trace.Texts())
            if (t.rfind(name + " :", 0) == 0)
                texts.push_back(t);
        return texts;
    }

    std::string root = testenv::NewDir("server");
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CAULMgr manager;
};

// Every case runs against FTP (pyftpdlib) and HTTP (nginx).
class TransferTest : public EngineTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { Connect(server, GetParam()); }
    FixtureServer server = GetParam() == PROTOCOL_FTP ? FixtureServer::Ftp(root, "tav", "secret")
                                                      : FixtureServer::Nginx(root);
};

// Faults: equal times taken for newer, the comparison turned round, a
// missing local file kept missing, the forced option ignored, a module
// whose server time is unknown left stale, an old decision kept.
TEST_P(TransferTest, LocalAndServerTimesDecideWhatIsFetched) {
    struct {
        const char* name;
        bool local, served;
        time_t offset;
        const char* option;
        int download;
    } cases[] = {{"equal.dll", true, true, 0, "", 0},     {"older.dll", true, true, -60, "", 1},
                 {"newer.dll", true, true, 3600, "", 0},  {"missing.dll", false, true, 0, "R", 1},
                 {"forced.dll", true, true, 0, "FRE", 1}, {"lower.dll", true, true, 0, "f", 0},
                 {"gone.dll", true, false, 0, "", 1}};
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        if (c.served)
            Served(c.name, "server copy");
        ModuleRecord& r = Add(c.name, std::string("/") + c.name, 1, c.local ? "local" : nullptr,
                              kStamp + c.offset);
        r.updateOption = c.option;
        int n = static_cast<int>(expected.size()) + 1;
        expected.push_back(r.updateOption == "FRE"
                               ? "CompareVersionInfo : Module[ 5] : " + r.localFile +
                                     " : Update Option(FRE)-> will be downloded "
                               : CompareLine(n, r.localFile,
                                             c.local ? Shown(kStamp + c.offset) : "unknown",
                                             c.served ? Shown(kStamp) : "unknown", c.download));
    }

    ASSERT_EQ(1, manager.CompareVersionInfo());
    EXPECT_EQ(STATUS_COMPARE, manager.m_nStatus);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].download, manager.m_modules[i]->download) << cases[i].name;
    EXPECT_EQ(4, manager.CountModulesToUpdate());
    EXPECT_EQ(expected, Stage("CompareVersionInfo")) << trace.Dump();
}

// Faults: an unselected module fetched, a failed size query stopping the
// loop, the progress display not driven.
TEST_P(TransferTest, SelectedModulesAreFetchedOneAfterAnother) {
    Served("a.dll", Content(10000, 'a'));
    Served("b.exe", Content(5000, 'b'));
    Served("kept.dll", Content(100, 'k'));
    enginetest::UpdateWindow window;
    window.Attach(manager);
    ModuleRecord& a = Add("a.dll", "/a.dll", 1);
    ModuleRecord& gone = Add("gone.dll", "/gone.dll", 1);
    ModuleRecord& kept = Add("kept.dll", "/kept.dll", 0, "old");
    ModuleRecord& b = Add("new folder\\b.exe", "/b.exe", 1);

    EXPECT_EQ(1, manager.DownloadNewFiles());
    EXPECT_EQ(STATUS_DOWNLOAD, manager.m_nStatus);
    EXPECT_TRUE(Content(10000, 'a') == testenv::ReadFile(a.localFile));
    EXPECT_TRUE(Content(5000, 'b') == testenv::ReadFile(b.localFile));
    EXPECT_EQ("old", testenv::ReadFile(kept.localFile));
    EXPECT_FALSE(testenv::FileExists(gone.localFile));
    EXPECT_EQ(1, gone.download); // still selected for the registration stage

    std::vector<std::string> expected = {
        "DownloadNewFiles : DownloadFile(/a.dll->" + a.localFile + ") OK . 10000 Bytes",
        "DownloadNewFiles : GetRemoteFileSize(/gone.dll) ERROR",
        "DownloadNewFiles : DownloadFile(/b.exe->" + b.localFile + ") OK . 5000 Bytes"};
    EXPECT_EQ(expected, Stage("DownloadNewFiles")) << trace.Dump();

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
    std::string list = local + "\\version.txt";
    manager.m_config.remoteVersionFile = "/version.txt";
    manager.m_config.localVersionFile = list;
    ASSERT_EQ(1, manager.GetVersionInfo()) << trace.Dump();
    EXPECT_EQ(STATUS_GET_VERSION, manager.m_nStatus);
    EXPECT_TRUE(trace.Has(3, "GetVersionInfo : DownloadFile(/version.txt->" + list + ") OK"));
    EXPECT_EQ("", window.Text(1003));
    EXPECT_EQ("", window.Text(1004));
    EXPECT_EQ(0, window.Pos(1002));
    EXPECT_EQ("C:\\Omblet\\a.dll|/a.dll|R\r\n", testenv::ReadFile(list));

    manager.m_config.remoteVersionFile = "/no-such-list.txt";
    EXPECT_EQ(0, manager.GetVersionInfo());
    EXPECT_TRUE(
        trace.Has(1, "GetVersionInfo : DownloadFile(/no-such-list.txt->" + list + ") ERROR"))
        << trace.Dump();
}

INSTANTIATE_TEST_SUITE_P(Protocols, TransferTest,
                         ::testing::Values(int(PROTOCOL_FTP), int(PROTOCOL_HTTP)),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == PROTOCOL_FTP ? "Ftp" : "Http";
                         });

// Responses a stock server will not give, from the scripted HTTP server.
class ScriptedHttpTest : public EngineTest {
protected:
    void SetUp() override { Connect(server, PROTOCOL_HTTP); }
    FixtureServer server = FixtureServer::Script(root);
};

// A server that sends no Last-Modified must not leave the module stale forever.
TEST_F(ScriptedHttpTest, NoLastModifiedMeansFetch) {
    ModuleRecord& r = Add("current.dll", "/current.dll?size=10&nomodified=1", 0, "local");
    ASSERT_EQ(1, manager.CompareVersionInfo());
    EXPECT_EQ(1, r.download);
    EXPECT_TRUE(trace.Has(3, CompareLine(1, r.localFile, Shown(kStamp), "unknown", 1)))
        << trace.Dump();
}

// Faults: a module without a size fetched anyway, a short transfer reported as
// done, or ending the loop.
TEST_F(ScriptedHttpTest, UnsizedAndShortTransfersAreReportedAndTheLoopGoesOn) {
    ModuleRecord& chunked = Add("chunked.dll", "/chunked.dll?size=5000&nolength=1", 1);
    ModuleRecord& cut = Add("cut.dll", "/cut.dll?size=20000&cut=5000", 1);
    ModuleRecord& whole = Add("whole.dll", "/whole.dll?size=6000", 1);
    EXPECT_EQ(1, manager.DownloadNewFiles());
    std::vector<std::string> expected = {
        "DownloadNewFiles : GetRemoteFileSize(" + chunked.remoteFile + ") ERROR",
        "DownloadNewFiles : DownloadFile(" + cut.remoteFile + "->" + cut.localFile + ") ERROR",
        "DownloadNewFiles : DownloadFile(" + whole.remoteFile + "->" + whole.localFile +
            ") OK . 6000 Bytes"};
    EXPECT_EQ(expected, Stage("DownloadNewFiles")) << trace.Dump();
    EXPECT_FALSE(testenv::FileExists(chunked.localFile));
    EXPECT_EQ(6000u, testenv::ReadFile(whole.localFile).size());
    EXPECT_EQ(1, chunked.download);
    EXPECT_EQ(1, cut.download);
}

// Only the low 16 bits of the setting are the port (the trace shows the
// setting); a refused login and an unknown protocol are reported, the latter
// before any connection.
TEST_F(EngineTest, ConnectionSettingsAreCheckedAndTraced) {
    FixtureServer ftp = FixtureServer::Ftp(root, "tav", "secret");
    ASSERT_TRUE(ftp.Ok()) << ftp.Error();
    std::string port = std::to_string(ftp.Port());
    struct {
        int protocol, port;
        const char* password;
        int result, level;
        std::string trace;
    } cases[] = {
        {PROTOCOL_FTP, ftp.Port() + 65536, "secret", 1, 3,
         "ConnectServer(127.0.0.1, 1, " + std::to_string(ftp.Port() + 65536) +
             ", tav, secret) : OK"},
        {PROTOCOL_FTP, ftp.Port(), "wrong", 0, 1,
         "ConnectServer(127.0.0.1, 1,  " + port + ", tav, wrong) : ERROR"},
        {2, 65536 + 21, "pw", 0, 1,
         "ConnectServer :  ERROR SetLoginInfo(127.0.0.1, 2,  21, tav, pw) "},
    };
    for (const auto& c : cases) {
        CAULMgr fresh;
        fresh.m_config = {"127.0.0.1", c.protocol, c.port, "tav", c.password, "", "", "", ""};
        trace.Clear();
        EXPECT_EQ(c.result, fresh.ConnectServer());
        EXPECT_EQ(STATUS_CONNECT, fresh.m_nStatus);
        EXPECT_TRUE(trace.Has(c.level, c.trace)) << trace.Dump();
        EXPECT_TRUE(!c.result || fresh.m_downloader.m_nRemotePort == ftp.Port());
        EXPECT_EQ(c.protocol == 2, fresh.m_downloader.m_hInternet == nullptr);
    }
}

} // namespace
