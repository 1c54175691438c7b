#pragma once
// A file held open so that nobody else can write, rename or delete it while it
// is held: what a pass checked through the hold is what it then uses.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <string>

// The errors of a file that another program holds for a moment (a virus
// scanner, an indexer).
bool IsPassingHold(DWORD error);

// Makes the attempt again while it fails because another program holds the
// file, up to about a second in all.
template <typename Attempt> Win32Result RetryWhileHeld(Attempt attempt) {
    for (int tries = 1;; ++tries) {
        const Win32Result result = attempt();
        if (result.Ok() || !IsPassingHold(result.Error()) || tries == 10)
            return result;
        ::Sleep(100);
    }
}

// Opens the file for reading (and the extra access asked for), sharing it for
// reading only; waits for a passing hold.
Win32Result HoldFile(const std::wstring& path, DWORD extraAccess, unique_hfile& held);
Win32Result HoldFile(const std::string& path, DWORD extraAccess, unique_hfile& held);

// Renames the file through its hold (opened with DELETE access), so no one can
// put other bytes in its place between the check and the rename. The new path
// must not exist.
Win32Result RenameHeld(HANDLE held, const std::wstring& path);
