// The log writer as several processes use it at once.
#include "Fixtures.h"

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

} // namespace
