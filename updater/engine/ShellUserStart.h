#pragma once
// The updater asks for administrator rights to write protected folders and
// register servers; the programs it starts, the messenger client among them,
// should not inherit them. Where the updater runs elevated and the user's
// shell does not, they are started with the shell's token: the user's own
// rights, and a window that the user's non-elevated programs may message.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>

// A primary token of the user's shell where this process is elevated and the
// shell is not; empty in every other case (then the program starts as usual).
unique_handle ShellUserToken();

// Starts the command line in the folder (null: ours) with the token, with the
// same start-up record and priority as an ordinary start.
Win32Result StartWithToken(HANDLE token, const std::string& commandLine, const char* workDir,
                           PROCESS_INFORMATION* process);
