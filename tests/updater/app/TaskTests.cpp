// The scheduled task set and removed by TavUpdate.exe through the Task
// Scheduler. Wine's keeps only the settings and the description of a
// definition (not its triggers, account or command, which ScheduleTests
// check in the text handed over), so these tell that ours went in.
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// In the native system folder, which a 32-bit process on a 64-bit system
// reaches only as Sysnative (system32 is redirected).
std::string TaskFile() {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    return std::string(windows) + (wow64 ? "\\Sysnative" : "\\System32") + "\\Tasks\\TavUpdate";
}

int RunUpdater(const std::string& arguments) {
    return testenv::RunProcess("\"" + testenv::BinDir() + "\\TavUpdate.exe\" " + arguments);
}

// Faults: no task, or one not of our definition; a refused time exiting 0
// or untraced; /unschedule leaving the task, or failing when there is none.
TEST(TaskScheduleTest, ScheduleRegistersUnscheduleRemoves) {
    const std::string dir = testenv::NewDir("task");
    LogPolicyValues log("SOFTWARE\\Tav\\TavUpdate", 1, dir + "\\task.log");
    ASSERT_EQ(0, RunUpdater("\"" + dir + "\\TavUpdateInfo.ini\" /Schedule 04:30 /DELAY 2"));
    const std::string task = testenv::ReadFile(TaskFile());
    for (const char* part : {"<Description>TavUpdate: unattended update passes</Description>",
                             "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
                             "<StartWhenAvailable>true</StartWhenAvailable>",
                             "<ExecutionTimeLimit>PT1H</ExecutionTimeLimit>", "<Exec"})
        EXPECT_NE(std::string::npos, task.find(part)) << part << "\n" << task;

    EXPECT_EQ(1, RunUpdater("\"" + dir + "\\TavUpdateInfo.ini\" /schedule 24:00"));
    const std::vector<std::string> entries = testenv::LogEntries(dir + "\\task.log");
    EXPECT_EQ(1, std::count_if(entries.begin(), entries.end(), [](const std::string& e) {
                  return e.rfind("CTaskSchedule 1 Register : ERROR", 0) == 0;
              }));

    EXPECT_EQ(0, RunUpdater("\"" + dir + "\\TavUpdateInfo.ini\" /UnSchedule"));
    EXPECT_FALSE(testenv::FileExists(TaskFile()));
    EXPECT_EQ(0, RunUpdater("\"" + dir + "\\TavUpdateInfo.ini\" /unschedule"));
}

} // namespace
