#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class VersionInfoTest : public ::testing::Test {
protected:
    void SetUp() override { manager.m_config.localVersionFile = list; }
    void WriteList(const std::string& content) { ASSERT_TRUE(testenv::WriteFile(list, content)); }
    void AddModule(const std::string& local) {
        manager.m_modules.push_back(std::make_unique<ModuleRecord>());
        manager.m_modules.back()->localFile = local;
    }

    std::string list = testenv::NewDir("versioninfo") + "\\version.txt";
    TraceRecorder trace;
    CAULMgr manager;
};

// The traces show each record as stored.
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
    std::vector<std::string> expected = {
        "ParseVersionInfo : Module[ 1] = C:\\Omblet\\OmbletPlus.exe | /omblet/OmbletPlus.exe | FE ",
        "ParseVersionInfo : Module[ 2] = C:\\Omblet\\chat.dll | /omblet/chat.dll |  ",
        "ParseVersionInfo : Module[ 3] = C:\\Omblet\\ocx.ocx | /omblet/ocx.ocx | R ",
    };
    EXPECT_EQ(expected, trace.Texts(3));
    EXPECT_TRUE(trace.Has(4, "SplitList(C:\\Omblet\\chat.dll|/omblet/chat.dll|) :  "
                             "/omblet/chat.dll --> ADD"))
        << trace.Dump();

    // Fault: records piling up over passes instead of being replaced.
    WriteList("e|f|E\n");
    ASSERT_EQ(1, manager.ParseVersionInfo());
    ASSERT_EQ(1u, manager.m_modules.size());
    EXPECT_EQ("e", manager.m_modules[0]->localFile);
}

TEST_F(VersionInfoTest, OnlyCommentsGiveAnEmptyListAndTheComparisonFails) {
    AddModule("stale");
    WriteList("; nothing to update\r\n;\r\n");
    ASSERT_EQ(1, manager.ParseVersionInfo());
    EXPECT_TRUE(manager.m_modules.empty());
    EXPECT_EQ(0, manager.CompareVersionInfo());
    EXPECT_EQ(STATUS_COMPARE, manager.m_nStatus);
    EXPECT_TRUE(trace.Has(1, "CompareVersionInfo :  ERROR, 버전 정보가 없습니다.")) << trace.Dump();
    EXPECT_EQ(0, manager.DownloadNewFiles());
}

// Fault: a failed read emptying (or half filling) the list of the last pass.
TEST_F(VersionInfoTest, MissingOrUnreadableFileFailsAndKeepsTheList) {
    AddModule("kept");
    EXPECT_EQ(0, manager.ParseVersionInfo());
    EXPECT_TRUE(trace.Has(1, "ParseVersionInfo : ERROR, version file(" + list + ") does not exist"))
        << trace.Dump();

    WriteList("a|b\n");
    HANDLE locked = ::CreateFileA(list.c_str(), GENERIC_READ, 0, // no sharing: unreadable
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    int result = manager.ParseVersionInfo();
    ::CloseHandle(locked);
    EXPECT_EQ(0, result);
    EXPECT_TRUE(trace.Has(1, "ParseVersionInfo : ERROR, open version file(" + list +
                                 "), EC =" + std::to_string(ERROR_SHARING_VIOLATION)))
        << trace.Dump();
    ASSERT_EQ(1u, manager.m_modules.size());
    EXPECT_EQ("kept", manager.m_modules[0]->localFile);
}

} // namespace
