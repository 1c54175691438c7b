// The log writer as several processes use it at once, and against names
// planted in its way.
#include "Fixtures.h"
#include "LogFile.h"
#include "SecurityAttributes.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Two processes append across the cap at once: the file is moved aside once,
// and the two files hold every line whole, once, in its writer's order.
// Faults: lines torn or mixed, a line lost in the move, a second move of the
// new file over the full one, a file past its cap.
TEST(LogFileTest, ProcessesAppendingAtOnceLeaveWholeLinesAcrossTheRoll) {
    const std::string log = testenv::NewDir("log") + "\\app.log";
    const int kLines = 6000; // about 1.4 MiB from both
    const std::string event = "TavLogTestGo" + std::to_string(::GetCurrentProcessId());
    unique_handle go(::CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    std::vector<unique_handle> writers;
    for (const char* tag : {"A", "B"})
        writers.push_back(testenv::StartProcess("\"" + testenv::BinDir() +
                                                "\\log_fixture_writer.exe\" \"" + log + "\" " +
                                                tag + " " + std::to_string(kLines) + " " + event));
    ASSERT_TRUE(::SetEvent(go.get()));
    for (const unique_handle& writer : writers) {
        DWORD code = 1;
        ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(writer.get(), 120000));
        EXPECT_TRUE(::GetExitCodeProcess(writer.get(), &code) && code == 0);
    }

    std::vector<std::string> entries = testenv::LogEntries(log + ".1");
    for (const std::string& entry : testenv::LogEntries(log))
        entries.push_back(entry);
    std::map<std::string, int> next{{"A", 0}, {"B", 0}};
    for (const std::string& entry : entries) {
        ASSERT_GT(entry.size(), 12u) << entry;
        const std::string tag = entry.substr(12, 1);
        const std::string line =
            "LogWriter 3 " + tag + " " + std::to_string(next[tag]++) + " " + std::string(60, 'x');
        ASSERT_EQ(line, entry);
    }
    EXPECT_EQ(kLines, next["A"]);
    EXPECT_EQ(kLines, next["B"]);
    WIN32_FILE_ATTRIBUTE_DATA full = {};
    ASSERT_TRUE(::GetFileAttributesExA((log + ".1").c_str(), GetFileExInfoStandard, &full));
    EXPECT_GT(full.nFileSizeLow, (1u << 20) - 8192);
    EXPECT_LE(full.nFileSizeLow, 1u << 20);
}

// Faults: the writer appended through a hard link planted as the log to
// the file it links to.
TEST(LogFileTest, HardLinkPlantedAsTheLogIsNotAppendedTo) {
    const std::string dir = testenv::NewDir("log");
    ASSERT_TRUE(testenv::WriteFile(dir + "\\victim.txt", "victim"));
    ASSERT_TRUE(
        ::CreateHardLinkA((dir + "\\app.log").c_str(), (dir + "\\victim.txt").c_str(), nullptr));
    CLogFile(dir + "\\app.log").Write("LogTest", 1, "line");
    EXPECT_EQ("victim", testenv::ReadFile(dir + "\\victim.txt"));
}

// A full log is moved aside while "<name>.lock" links to another file.
// Fault: the lock taken through the link, its target deleted as it closed.
TEST(LogFileTest, TargetOfALinkPlantedAsTheRollsLockSurvivesTheRoll) {
    const std::string dir = testenv::NewDir("log");
    const std::string log = dir + "\\app.log";
    ASSERT_TRUE(testenv::WriteFile(dir + "\\victim.txt", "victim"));
    ASSERT_TRUE(testenv::WriteFile(log, std::string((1 << 20) - 100, 'x')));
    ASSERT_EQ("ok", BrokerCall("symlink " + testenv::ToUnix(dir + "\\victim.txt") + " " +
                               testenv::ToUnix(log + ".lock")));
    CLogFile(log).Write("LogTest", 1, "line");
    EXPECT_EQ("victim", testenv::ReadFile(dir + "\\victim.txt"));
}

// While the writer has the log open, its folder is swapped for a link to one
// others may write, holding a full file of the log's name.
// Fault: the roll, acting by name, moved that file aside.
TEST(LogFileTest, RollMovesNothingInAFolderSwappedInAfterTheOpen) {
    const std::string base = testenv::NewDir("log");
    const std::string dir = base + "\\logs", other = base + "\\other";
    const std::string full((1 << 20) - 100, 'x');
    CSecurityAttributes anyone("D:(A;OICI;FA;;;WD)");
    ASSERT_TRUE(::CreateDirectoryA(dir.c_str(), nullptr) &&
                ::CreateDirectoryA(other.c_str(), nullptr) &&
                ::SetFileSecurityA(other.c_str(), DACL_SECURITY_INFORMATION,
                                   anyone.get()->lpSecurityDescriptor) &&
                testenv::WriteFile(other + "\\app.log", full));
    CLogFile log(dir + "\\app.log");
    log.Write("LogTest", 1, "opens the file");
    ASSERT_TRUE(::MoveFileA(dir.c_str(), (base + "\\old").c_str()));
    ASSERT_TRUE(testenv::WriteFile(base + "\\old\\app.log", full));
    ASSERT_EQ("ok", BrokerCall("symlink " + testenv::ToUnix(other) + " " + testenv::ToUnix(dir)));
    log.Write("LogTest", 1, "finds it full");
    EXPECT_EQ(full.size(), testenv::ReadFile(other + "\\app.log").size());
}

// A full log whose roll lock a writer left behind (a power loss).
// Fault: every roll refused for good, the log growing past its cap.
TEST(LogFileTest, LockLeftBehindDoesNotStopTheRoll) {
    const std::string log = testenv::NewDir("log") + "\\app.log";
    ASSERT_TRUE(testenv::WriteFile(log, std::string((1 << 20) - 100, 'x')) &&
                testenv::WriteFile(log + ".lock", ""));
    CLogFile(log).Write("LogTest", 1, "line");
    EXPECT_EQ((1u << 20) - 100, testenv::ReadFile(log + ".1").size());
}

// Fault: a code page 949 lead byte took the CR after it as its pair, so a
// reader saw a line of the text's own making.
TEST(LogFileTest, LeadByteBeforeALineBreakStaysOnOneLine) {
    const std::string log = testenv::NewDir("log") + "\\app.log";
    CLogFile(log).Write("LogTest", 1, "\xB0\r2025-01-01 00:00:00.000 1 1 CAULMgr 1 forged");
    EXPECT_EQ(testenv::LogEntries(log),
              std::vector<std::string>{"LogTest 1   2025-01-01 00:00:00.000 1 1 CAULMgr 1 forged"});
}

// Group Policy writes the native registry view, a package the 32-bit one:
// the first holds, else the second; Disabled (level 0 there) turns off a
// level the package wrote. Fault: values set by policy never read on 64-bit
// Windows.
TEST(LogPolicyTest, GroupPolicysViewBeforeThePackagesOne) {
    const std::string dir = testenv::NewDir("policy");
    const char key[] = "SOFTWARE\\Tav\\LogPolicyTest";
    const PolicyValue level = {key, "TraceLevel", PolicyType::Dword};
    const PolicyValue file = {key, "TraceFile", PolicyType::Text};
    LogPolicyValues package(key, 3, dir + "\\package.log");
    EXPECT_EQ(dir + "\\package.log", ReadLogPolicy(level, file, "").path);
    {
        LogPolicyValues group(key, 2, dir + "\\group.log", KEY_WOW64_64KEY);
        const LogPolicy policy = ReadLogPolicy(level, file, "");
        EXPECT_EQ(2, policy.level);
        EXPECT_EQ(dir + "\\group.log", policy.path);
    }
    LogPolicyValues disabled(key, 0, "", KEY_WOW64_64KEY);
    EXPECT_EQ(0, ReadLogPolicy(level, file, "").level);
}

} // namespace
