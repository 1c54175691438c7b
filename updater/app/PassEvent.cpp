#include "PassEvent.h"

#include "TavUpdateMessages.h"
#include "UniqueHandle.h"

#include <cstdio>

namespace {

const char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\TavUpdate";

// Only an administrator writes under this key, as the package does.
bool SourceRegistered() {
    unique_hkey key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, KEY_QUERY_VALUE, key.put()) ==
           ERROR_SUCCESS;
}

std::string Number(unsigned long long value) {
    return std::to_string(value);
}

std::string OrNone(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string ErrorText(const Win32Result& error) {
    if (error.Ok())
        return "-";
    char text[128];
    std::snprintf(text, sizeof(text), "%s EC=%lu (0x%08lx)", error.FailedCall(),
                  static_cast<unsigned long>(error.Error()),
                  static_cast<unsigned long>(error.Error()));
    return text;
}

} // namespace

void ReportPassEvent(const PassOutcome& outcome, const std::string& listPath) {
    if (!SourceRegistered())
        return;
    WORD type = EVENTLOG_ERROR_TYPE;
    DWORD id = MSG_PASS_FAILED;
    if (outcome.exitCode == EXIT_PASS_OK) {
        type = EVENTLOG_INFORMATION_TYPE;
        id = MSG_PASS_OK;
    } else if (outcome.exitCode == EXIT_MODULE_FAILED || outcome.exitCode == EXIT_LAUNCH_FAILED) {
        type = EVENTLOG_WARNING_TYPE;
        id = MSG_PASS_WARNING;
    }
    const std::string facts[] = {
        Number(static_cast<unsigned long long>(outcome.exitCode)),
        OrNone(listPath),
        outcome.installedSerial ? Number(*outcome.installedSerial) : "-",
        Number(static_cast<unsigned long long>(outcome.modulesFetched)),
        Number(static_cast<unsigned long long>(outcome.modulesFailed)),
        outcome.failedStage ? outcome.failedStage : "-",
        ErrorText(outcome.failedError),
    };
    const char* strings[sizeof(facts) / sizeof(facts[0])];
    for (size_t i = 0; i < sizeof(facts) / sizeof(facts[0]); ++i)
        strings[i] = facts[i].c_str();
    HANDLE source = ::RegisterEventSourceA(nullptr, "TavUpdate");
    if (!source)
        return;
    ::ReportEventA(source, type, 0, id, nullptr, sizeof(strings) / sizeof(strings[0]), 0, strings,
                   nullptr);
    ::DeregisterEventSource(source);
}

PassOutcome NotStarted(const char* stage, const Win32Result& error) {
    PassOutcome outcome;
    outcome.exitCode = EXIT_NOT_STARTED;
    outcome.NoteFailure(stage, error);
    return outcome;
}
