#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testenv::NewDir("versioninfo");
        manager.m_config.localVersionFile = dir + "\\version.txt";
    }
    void WriteList(const std::string& content) {
        ASSERT_TRUE(testenv::WriteFile(manager.m_config.localVersionFile, content));
    }
    void AddModule(const std::string& local) {
        auto r = std::make_unique<ModuleRecord>();
        r->localFile = local;
        manager.m_modules.push_back(std::move(r));
    }
    std::string Module(size_t i, int field) const {
        const ModuleRecord& r = *manager.m_modules.at(i);
        return field == 0 ? r.localFile : field == 1 ? r.remoteFile : r.updateOption;
    }

    std::string dir;
    TraceRecorder trace;
    CAULMgr manager;
};

TEST_F(VersionInfoTest, AcceptedLinesBecomeRecordsInOrder) {
    WriteList("; TavUpdate version list\r\n"
              "C:\\Omblet\\OmbletPlus.exe | /omblet/OmbletPlus.exe | FE\r\n"
              "\r\n"
              "C:\\Omblet\\chat.dll|/omblet/chat.dll\r\n"
              "|C:\\Omblet\\lead.dll|/omblet/lead.dll|R\r\n"
              "C:\\Omblet\\only-one-field.dll\r\n"
              "  ; C:\\Omblet\\not-a-comment.dll\r\n"
              "C:\\Omblet\\ocx.ocx||/omblet/ocx.ocx|R|ignored\r\n"
              "x");
    manager.SetStatus(STATUS_GET_VERSION);
    ASSERT_EQ(1, manager.ParseVersionInfo()) << trace.Dump();
    EXPECT_EQ(STATUS_GET_VERSION, manager.m_nStatus); // the parse sets no status
    ASSERT_EQ(3u, manager.m_modules.size());
    EXPECT_EQ("C:\\Omblet\\OmbletPlus.exe", Module(0, 0));
    EXPECT_EQ("/omblet/OmbletPlus.exe", Module(0, 1));
    EXPECT_EQ("FE", Module(0, 2));
    EXPECT_EQ("/omblet/chat.dll", Module(1, 1));
    EXPECT_EQ("", Module(1, 2));
    EXPECT_EQ("/omblet/ocx.ocx", Module(2, 1));
    EXPECT_EQ("R", Module(2, 2));

    std::vector<std::string> expected = {
        "ParseVersionInfo : Module[ 1] = C:\\Omblet\\OmbletPlus.exe | /omblet/OmbletPlus.exe | FE ",
        "ParseVersionInfo : Module[ 2] = C:\\Omblet\\chat.dll | /omblet/chat.dll |  ",
        "ParseVersionInfo : Module[ 3] = C:\\Omblet\\ocx.ocx | /omblet/ocx.ocx | R ",
    };
    EXPECT_EQ(expected, trace.Texts(3));
    EXPECT_TRUE(trace.Has(4, "SplitList(C:\\Omblet\\chat.dll|/omblet/chat.dll|) :  "
                             "/omblet/chat.dll --> ADD"))
        << trace.Dump();
}

// Fault: records piling up over passes instead of being replaced.
TEST_F(VersionInfoTest, EachReadReplacesTheWholeList) {
    WriteList("a|b\nc|d\n");
    ASSERT_EQ(1, manager.ParseVersionInfo());
    WriteList("e|f|E\n");
    ASSERT_EQ(1, manager.ParseVersionInfo());
    ASSERT_EQ(1u, manager.m_modules.size());
    EXPECT_EQ("e", Module(0, 0));
}

TEST_F(VersionInfoTest, OnlyCommentsGiveAnEmptyListAndTheComparisonFails) {
    AddModule("stale");
    WriteList("; nothing to update\r\n;\r\n");
    ASSERT_EQ(1, manager.ParseVersionInfo());
    EXPECT_TRUE(manager.m_modules.empty());
    EXPECT_EQ(0, manager.CompareVersionInfo());
    EXPECT_EQ(STATUS_COMPARE, manager.m_nStatus);
    EXPECT_TRUE(trace.Has(1, "CompareVersionInfo :  ERROR, 버전 정보가 없습니다.")) << trace.Dump();
    EXPECT_EQ(0, manager.CountModulesToUpdate());
    EXPECT_EQ(0, manager.DownloadNewFiles());
    EXPECT_EQ(STATUS_DOWNLOAD, manager.m_nStatus);
    EXPECT_TRUE(trace.Has(1, "DownloadNewFiles :  ERROR, 버전 정보가 없습니다.")) << trace.Dump();
}

// Fault: a failed read emptying (or half filling) the list of the last pass.
TEST_F(VersionInfoTest, MissingFileFailsAndKeepsTheList) {
    AddModule("kept");
    EXPECT_EQ(0, manager.ParseVersionInfo());
    ASSERT_EQ(1u, manager.m_modules.size());
    EXPECT_EQ("kept", Module(0, 0));
    EXPECT_TRUE(trace.Has(1, "ParseVersionInfo : ERROR, version file(" +
                                 manager.m_config.localVersionFile + ") does not exist"))
        << trace.Dump();
}

TEST_F(VersionInfoTest, FileThatCannotBeOpenedFailsAndKeepsTheList) {
    WriteList("a|b\n");
    AddModule("kept");
    HANDLE locked = ::CreateFileA(manager.m_config.localVersionFile.c_str(), GENERIC_READ,
                                  0, // no sharing: the reader cannot open it
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    int result = manager.ParseVersionInfo();
    ::CloseHandle(locked);
    EXPECT_EQ(0, result);
    ASSERT_EQ(1u, manager.m_modules.size());
    EXPECT_EQ("kept", Module(0, 0));
    EXPECT_TRUE(trace.Has(1, "ParseVersionInfo : ERROR, open version file(" +
                                 manager.m_config.localVersionFile +
                                 "), EC =" + std::to_string(ERROR_SHARING_VIOLATION)))
        << trace.Dump();
}

} // namespace
