#pragma once
// What one update pass is asked to do and what it came to. The outcome is
// the one account of a pass: the program's exit code is made from it, and
// whatever reports a pass later (a report to the server, an Event Log entry)
// reads it rather than the engine's stages.

#include "PassExitCode.h"
#include "Win32Result.h"

#include <windows.h>

#include <optional>
#include <string>

struct PassOptions {
    // The configuration file; empty for ".\TavUpdateInfo.ini".
    std::string configPath;
    // A pass without a window: no programs started, no message box.
    bool unattended = false;
};

struct PassOutcome {
    int exitCode = EXIT_PASS_OK;
    // The signed release that went in (or was found in place) in this pass:
    // its serial and the list path it was built for.
    std::optional<unsigned long long> installedSerial;
    std::string installedList;
    // Modules received and put in place; modules refused, not installed or
    // not registered; servers registered; programs started.
    int modulesFetched = 0;
    int modulesFailed = 0;
    int modulesRegistered = 0;
    int programsStarted = 0;
    // The bytes of the modules put in place (a continued module counts whole).
    unsigned long long bytesReceived = 0;
    DWORD durationMs = 0;
    // The server whose list the pass took; empty when it took none.
    std::string server;
    // The first stage that failed, by its name, and the system error it
    // named where it had one; none when the pass met no failure.
    const char* failedStage = nullptr;
    Win32Result failedError;

    // A failure counted against the pass; the first one names its stage.
    void NoteFailure(const char* stage, const Win32Result& error = Win32Result()) {
        if (failedStage)
            return;
        failedStage = stage;
        failedError = error;
    }
    void NoteModuleFailed(const char* stage, const Win32Result& error = Win32Result()) {
        ++modulesFailed;
        NoteFailure(stage, error);
    }
};
