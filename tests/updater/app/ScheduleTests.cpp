// The words that set or remove the scheduled task, and the definition the
// Task Scheduler is handed (Wine keeps too little of it to read back).
#include "CommandLine.h"
#include "TaskXml.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

UpdateCommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "TavUpdate.exe");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

// Faults: a word in another case taken for a pass's ignored argument, a
// time or delay out of range set anyway, a bad one falling back to the
// defaults, another second argument no longer ignored.
TEST(CommandLineTest, WordsInAnyCaseAndTheirValues) {
    EXPECT_EQ(UpdateCommand::Pass, Parse({"a.ini", "/other"}).command);
    EXPECT_EQ(UpdateCommand::Pass, Parse({"a.ini"}).command);
    EXPECT_EQ(UpdateCommand::Unattended, Parse({"a.ini", "/UnAttended"}).command);
    EXPECT_EQ(UpdateCommand::Unschedule, Parse({"a.ini", "/UNSCHEDULE"}).command);
    const UpdateCommandLine defaults = Parse({"a.ini", "/Schedule"});
    EXPECT_EQ(UpdateCommand::Schedule, defaults.command);
    EXPECT_EQ("a.ini", defaults.configPath);
    EXPECT_EQ(3, defaults.hour);
    EXPECT_EQ(0, defaults.minute);
    EXPECT_EQ(4, defaults.delayHours);
    const UpdateCommandLine set = Parse({"a.ini", "/schedule", "4:05", "/DELAY", "0"});
    EXPECT_EQ(UpdateCommand::Schedule, set.command);
    EXPECT_EQ(4, set.hour);
    EXPECT_EQ(5, set.minute);
    EXPECT_EQ(0, set.delayHours);
    EXPECT_EQ(2, Parse({"a.ini", "/schedule", "/delay", "2"}).delayHours);
    for (const std::vector<const char*>& refused :
         std::vector<std::vector<const char*>>{{"24:00"},
                                               {"12:60"},
                                               {"12:5"},
                                               {"-1:00"},
                                               {"12:00", "/delay"},
                                               {"12:00", "/delay", "24"},
                                               {"12:00", "/delay", " 2"},
                                               {"12:00", "4"},
                                               {"12:00", "/delay", "2", "more"}}) {
        std::vector<const char*> args = {"a.ini", "/schedule"};
        args.insert(args.end(), refused.begin(), refused.end());
        EXPECT_EQ(UpdateCommand::Refused, Parse(args).command) << refused[0];
    }
    EXPECT_EQ(UpdateCommand::Refused, Parse({"a.ini", "/unschedule", "now"}).command);
}

// Faults: a path that breaks the XML (an ampersand) or the arguments (a
// blank, unquoted); a time in another form; a zero delay written as one
// the Task Scheduler refuses.
TEST(TaskXmlTest, ProgramConfigurationTimesAndAccount) {
    TaskPlan plan;
    plan.program = L"C:\\R&D\\TavUpdate.exe";
    plan.configPath = L"C:\\R&D\\my settings.ini";
    plan.year = 2026;
    plan.month = 3;
    plan.day = 9;
    plan.hour = 4;
    plan.minute = 5;
    plan.delayHours = 2;
    plan.logonDelayMinutes = 17;
    const std::wstring xml = TaskXml(plan);
    for (const wchar_t* part :
         {L"<Command>C:\\R&amp;D\\TavUpdate.exe</Command>",
          L"<Arguments>&quot;C:\\R&amp;D\\my settings.ini&quot; /unattended</Arguments>",
          L"<UserId>S-1-5-18</UserId>", L"<StartBoundary>2026-03-09T04:05:00</StartBoundary>",
          L"<RandomDelay>PT2H</RandomDelay>", L"<DaysInterval>1</DaysInterval>",
          L"<LogonTrigger><Enabled>true</Enabled><Delay>PT17M</Delay></LogonTrigger>",
          L"<StartWhenAvailable>true</StartWhenAvailable>",
          L"<ExecutionTimeLimit>PT1H</ExecutionTimeLimit></Settings>"})
        EXPECT_NE(std::wstring::npos, xml.find(part)) << part;
    plan.delayHours = 0;
    EXPECT_EQ(std::wstring::npos, TaskXml(plan).find(L"RandomDelay"));
}

} // namespace
