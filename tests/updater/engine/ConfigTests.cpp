#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kFullIni[] = "[SERVER]\r\nRemote Address=update.example.com\r\nProtocol=ftp\r\n"
                        "Remote Port=2121\r\nLogin Name=tav\r\nLogin Password=se cret\r\n"
                        "Remote Version File=/update/version.txt\r\n[LOCAL]\r\n"
                        "Local Version File=C:\\Omblet\\version.txt\r\n"
                        "Default Exec File=C:\\Omblet\\OmbletPlus.exe\r\n";

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[MAX_PATH] = {};
        ::GetCurrentDirectoryA(MAX_PATH, cwd);
        savedDir = cwd;
    }
    void TearDown() override { ::SetCurrentDirectoryA(savedDir.c_str()); }

    std::string Ini(const std::string& name, const std::string& content) {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(testenv::WriteFile(path, content));
        return path;
    }

    std::string dir = testenv::NewDir("config"), savedDir;
    TraceRecorder trace;
    CAULMgr manager;
};

// The traces show the record as stored.
TEST_F(ConfigTest, EveryKeyIsStoredAndTracedInOrder) {
    std::string path = Ini("TavUpdateInfo.ini", kFullIni);
    ASSERT_EQ(1, manager.LoadConfig(path)) << trace.Dump();
    EXPECT_EQ(STATUS_LOAD_CONFIG, manager.m_nStatus);

    std::vector<std::string> expected = {
        "LoadConfig : Config File  = " + path,
        "LoadConfig : [SERVER] Remote Address         = update.example.com",
        "LoadConfig : [SERVER] Protocol(1=FTP,3=HTTP) = 1",
        "LoadConfig : [SERVER] Remote Port            = 2121",
        "LoadConfig : [SERVER] Login Name             = tav",
        "LoadConfig : [SERVER] Login PW               = se cret",
        "LoadConfig : [SERVER] Version File           = /update/version.txt",
        "LoadConfig : [LOCAL] Version File            = C:\\Omblet\\version.txt",
        "LoadConfig : [LOCAL]  Default Exec Filee     = C:\\Omblet\\OmbletPlus.exe",
    };
    EXPECT_EQ(expected, trace.Texts(3));
}

// Faults: the default, or a bare name, looked for anywhere but the current
// folder (the profile functions alone would read a bare name elsewhere).
TEST_F(ConfigTest, EmptyPathAndBareNameAreReadFromTheCurrentFolder) {
    Ini("TavUpdateInfo.ini", "[SERVER]\r\nRemote Address=default\r\n");
    Ini("bare.ini", "[SERVER]\r\nRemote Address=bare\r\n");
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    struct {
        const char *given, *shown, *address;
    } cases[] = {{"", ".\\TavUpdateInfo.ini", "default"}, {"bare.ini", "bare.ini", "bare"}};
    for (const auto& c : cases) {
        trace.Clear();
        ASSERT_EQ(1, manager.LoadConfig(c.given)) << trace.Dump();
        EXPECT_EQ(c.address, manager.m_config.remoteAddress);
        EXPECT_TRUE(trace.Has(3, std::string("LoadConfig : Config File  = ") + c.shown))
            << trace.Dump();
    }
}

// Fault: falling back to the default file, or changing the record on failure.
TEST_F(ConfigTest, MissingFileFailsWithoutFallbackAndKeepsTheRecord) {
    Ini("TavUpdateInfo.ini", kFullIni);
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    manager.m_config.remoteAddress = "before";
    std::string missing = dir + "\\missing.ini";
    EXPECT_EQ(0, manager.LoadConfig(missing));
    EXPECT_EQ("before", manager.m_config.remoteAddress);
    EXPECT_EQ("", manager.m_config.defaultExecFile);
    EXPECT_EQ(STATUS_LOAD_CONFIG, manager.m_nStatus);
    EXPECT_TRUE(trace.Has(1, "ERROR : 설정 파일을 읽을수 없습니다.-" + missing +
                                 " \n해당 파일이 올바른 경로에 있는지 확인하시기 바랍니다."))
        << trace.Dump();
    EXPECT_TRUE(trace.Texts(3).empty()) << trace.Dump();
}

// Protocol: FTP in any case is 1, anything else (empty too) 3, missing 1; a
// port that is no number, or missing, reads as 0.
TEST_F(ConfigTest, ProtocolWordAndPortNumberAreReadByTheirRules) {
    struct {
        const char* lines;
        int protocol, port;
    } cases[] = {{"", 1, 0},
                 {"Protocol=Ftp\r\nRemote Port=21", 1, 21},
                 {"Protocol=http\r\nRemote Port=abc", 3, 0},
                 {"Protocol=", 3, 0},
                 {"Protocol=FTP2\r\nRemote Port=", 3, 0}};
    for (auto& c : cases) {
        CAULMgr fresh;
        ASSERT_EQ(1,
                  fresh.LoadConfig(Ini("p.ini", std::string("[SERVER]\r\n") + c.lines + "\r\n")));
        EXPECT_EQ(c.protocol, fresh.m_config.protocol) << c.lines;
        EXPECT_EQ(c.port, fresh.m_config.remotePort) << c.lines;
    }
}

// Fault: a long value overrunning the read buffer.
TEST_F(ConfigTest, LongValueKeepsItsFirst511Bytes) {
    std::string value;
    for (int i = 0; i < 600; ++i)
        value += static_cast<char>('a' + i % 26);
    ASSERT_EQ(1, manager.LoadConfig(Ini("long.ini", "[LOCAL]\r\nDefault Exec File=" + value)));
    EXPECT_EQ(value.substr(0, 511), manager.m_config.defaultExecFile);
}

} // namespace
