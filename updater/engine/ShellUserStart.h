#pragma once
// The updater asks for administrator rights to write protected folders and
// register servers; the programs it starts, the messenger client among them,
// must not inherit them. Where the updater runs elevated and the user's
// shell does not, they are started with the shell's token: the user's own
// rights, and a window that the user's non-elevated programs may message.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>

// How a program of this pass is started.
struct ShellUserStart {
    // Not elevated, or the shell is elevated as well: as usual.
    bool asUsual = false;
    // Otherwise a primary token of the shell's user; empty when none could
    // be had (no shell window: a service's session, say), and then nothing
    // starts rather than a program with our rights.
    unique_handle token;
};
ShellUserStart ShellUserToken();

// Starts the command line in the folder (null: ours) with the token, with the
// same start-up record and priority as an ordinary start.
Win32Result StartWithToken(HANDLE token, const std::string& commandLine, const char* workDir,
                           PROCESS_INFORMATION* process);
