#pragma once
// The updater asks for administrator rights to write protected folders and
// register servers; the programs it starts, the messenger client among them,
// must not inherit them. Where the updater runs elevated, they are started
// with the token of the user's shell: the user's own rights (also where the
// shell is elevated: its user need not be ours), and a window that the
// user's non-elevated programs may message.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>

// How a program of this pass is started.
struct ShellUserStart {
    // Not elevated: as usual.
    bool asUsual = false;
    // Elevated: a primary token of the shell's user; empty when none could
    // be had (no shell window: a service's session, say), and then nothing
    // starts rather than a program with our rights.
    unique_handle token;
};
ShellUserStart ShellUserToken();

// Starts the command line in the folder (null: ours) with the token, with the
// same start-up record and priority as an ordinary start.
Win32Result StartWithToken(HANDLE token, const std::string& commandLine, const char* workDir,
                           PROCESS_INFORMATION* process);
