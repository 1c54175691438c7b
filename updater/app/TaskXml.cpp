#include "TaskXml.h"

#include <cwchar>

namespace {

std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
        case L'&':
            out += L"&amp;";
            break;
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'"':
            out += L"&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::wstring Number(int value, int digits) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%0*d", digits, value);
    return text;
}

} // namespace

std::wstring TaskXml(const TaskPlan& plan) {
    // No zone after the time: the machine's local time, whatever zone it moves to.
    const std::wstring start = Number(plan.year, 4) + L"-" + Number(plan.month, 2) + L"-" +
                               Number(plan.day, 2) + L"T" + Number(plan.hour, 2) + L":" +
                               Number(plan.minute, 2) + L":00";
    const std::wstring delay =
        plan.delayHours > 0 ? L"<RandomDelay>PT" + Number(plan.delayHours, 1) + L"H</RandomDelay>"
                            : L"";
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           L"<Task version=\"1.2\" "
           L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           L"<RegistrationInfo><Description>TavUpdate: unattended update passes</Description>"
           L"</RegistrationInfo>\r\n"
           L"<Triggers>\r\n"
           L"<CalendarTrigger><StartBoundary>" +
           start + L"</StartBoundary><Enabled>true</Enabled>" + delay +
           L"<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger>\r\n"
           L"<LogonTrigger><Enabled>true</Enabled><Delay>PT" +
           Number(plan.logonDelayMinutes, 1) +
           L"M</Delay></LogonTrigger>\r\n"
           L"</Triggers>\r\n"
           L"<Principals><Principal id=\"System\"><UserId>S-1-5-18</UserId>"
           L"<RunLevel>HighestAvailable</RunLevel></Principal></Principals>\r\n"
           L"<Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
           L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
           L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
           L"<StartWhenAvailable>true</StartWhenAvailable>"
           L"<Enabled>true</Enabled><ExecutionTimeLimit>PT1H</ExecutionTimeLimit></Settings>\r\n"
           L"<Actions Context=\"System\"><Exec><Command>" +
           Escaped(plan.program) + L"</Command><Arguments>" +
           Escaped(L"\"" + plan.configPath + L"\" /unattended") +
           L"</Arguments></Exec></Actions>\r\n"
           L"</Task>\r\n";
}
