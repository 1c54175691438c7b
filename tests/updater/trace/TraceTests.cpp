// The trace as the program ships it, with the administrator's log at level 4.
#include "Fixtures.h"
#include "TraceBase.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const char kPolicyKey[] = "SOFTWARE\\Tav\\TavUpdate";

// Built as the update manager and the downloader are: the class name, then
// the log; counts what reaches the sink.
class CTraced : public CTraceBase {
public:
    explicit CTraced(const char* name) {
        std::strncpy(m_szClassName, name, sizeof(m_szClassName) - 1);
        OpenLog("unused.log");
    }
    void WriteTrace(int level, const char* format, va_list args) override {
        ++m_nWritten;
        CTraceBase::WriteTrace(level, format, args);
    }
    int m_nWritten = 0;
};

// Faults: a level up to detail not written, or one beyond the policy's
// written; a text not formatted from its values; a line without its
// object's name; two objects of one pass not sharing the one file; a call
// reaching the sink or a file without the policy.
TEST(TraceLogTest, PolicyAtLevelFourWritesEveryCallUpToDetail) {
    const std::string log = testenv::NewDir("trace") + "\\TavUpdate.log";
    {
        LogPolicyValues policy(kPolicyKey, TRACE_DETAIL, log);
        CTraced net("CNetDownLoader");
        CTraced manager("CAULMgr");
        manager.Trace(TRACE_ERROR, "LoadConfig : %s ERROR", "C:\\TavUpdateInfo.ini");
        manager.Trace(TRACE_WARNING, "LaunchModule : %s", "the default program");
        net.Trace(TRACE_INFO, "InternetConnect(%s:%d) OK", "127.0.0.1", 80);
        manager.Trace(TRACE_DETAIL, "SplitList : field %d \"%s\"", 2, "/m.bin");
        manager.Trace(TRACE_DETAIL + 1, "beyond detail %s", "x");
        manager.Trace(0, "below error");
        EXPECT_EQ(3, manager.m_nWritten);
        EXPECT_EQ(1, net.m_nWritten);
    }
    const std::vector<std::string> written{
        "CAULMgr 1 LoadConfig : C:\\TavUpdateInfo.ini ERROR",
        "CAULMgr 2 LaunchModule : the default program",
        "CNetDownLoader 3 InternetConnect(127.0.0.1:80) OK",
        "CAULMgr 4 SplitList : field 2 \"/m.bin\"",
    };
    EXPECT_EQ(written, testenv::LogEntries(log));

    CTraced unlogged("CAULMgr");
    unlogged.Trace(TRACE_ERROR, "LoadConfig : %s ERROR", "C:\\TavUpdateInfo.ini");
    EXPECT_EQ(0, unlogged.m_nWritten);
    EXPECT_EQ(written, testenv::LogEntries(log));
}

} // namespace
