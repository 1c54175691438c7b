#pragma once
// One Application log entry for a pass, under the event source "TavUpdate"
// that the package registers (its messages are this program's message
// table). The updater registers nothing itself: without the source's key
// nothing is written.
//   exit code 0     information, event 1000
//   exit code 5, 6  warning, event 2000
//   any other       error, event 3000

#include "PassOutcome.h"

#include <string>

// The outcome's facts with the version list path the pass was configured for.
void ReportPassEvent(const PassOutcome& outcome, const std::string& listPath);

// A pass that never ran: exit code 7, the step and the call that failed.
PassOutcome NotStarted(const char* stage, const Win32Result& error);
