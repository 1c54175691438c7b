#pragma once
// The pass report: at the end of a pass, one GET of the configured "Report
// URL" whose query says what the pass met, so that it lands in the access
// log of a server the publisher already runs. It goes through the pass's
// proxy settings, within 5 s with one more try after a failure, and never
// changes the pass's outcome: what happened is only traced (level 3).

#include "ReportQuery.h"
#include "TraceBase.h"
#include "UpdateConfig.h"

// The machine's desktop id: 128 random bits, drawn once and kept as
// "DesktopId" beside the rollout bucket; 32 hexadecimal digits.
std::string MachineDesktopId();

// Nothing without a Report URL. facts: what the pass met; the desktop id,
// the rollout bucket and the updater's version are filled in here.
void SendPassReport(const UpdateConfig& config, reportquery::PassFacts facts, CTraceBase& trace);
