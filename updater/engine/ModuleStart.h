#pragma once
// What a pass does with an installed module: register the COM server it
// holds, or start it as a program.

#include "Win32Result.h"

#include <string>

// From now on the process loads libraries by name from the system folder
// only (where the system can be told so): never from the current folder or
// PATH, which a user may have prepared.
void RestrictLibrarySearch();

// Loads the library (what it imports from its own folder and the system's),
// calls its DllRegisterServer with COM initialised on this
// thread around the call, and frees it again. Ok once the call was made; what
// the server itself answered goes to serverResult.
Win32Result RegisterServerIn(const std::string& path, HRESULT& serverResult);

// Starts "\"path\" arguments" in the program's own folder (the current one
// for a bare name), without waiting for it. Where the updater runs elevated
// the program gets the token of the user's shell; without a shell to take it
// from, it does not start (ERROR_NO_TOKEN).
Win32Result StartProgram(const std::string& path, const std::string& arguments);
