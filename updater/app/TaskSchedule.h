#pragma once
// The scheduled task "TavUpdate" of unattended passes (TaskXml.h), set and
// removed through the Task Scheduler (ITaskService). Each operation returns
// non-zero on success and traces its own failure at level 1.

#include "CommandLine.h"
#include "TraceBase.h"

class CTaskSchedule : public CTraceBase {
public:
    CTaskSchedule();

    // This program with the configuration file (its full path; an empty one
    // is the default file of the current folder, as a pass would read it).
    // A task of that name is replaced.
    int Register(const UpdateCommandLine& line);
    // No such task is success too: there is nothing left to remove.
    int Remove();
};
