#pragma once
// A file held open so that nobody else can write, rename or delete it while it
// is held: what a pass checked through the hold is what it then uses.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <string>

// Opens the file for reading (and the extra access asked for), sharing it for
// reading only. A program that holds the file for a moment (a scanner, an
// indexer) is waited for, up to about a second.
Win32Result HoldFile(const std::wstring& path, DWORD extraAccess, unique_hfile& held);
Win32Result HoldFile(const std::string& path, DWORD extraAccess, unique_hfile& held);

// Renames the file through its hold (opened with DELETE access), so no one can
// put other bytes in its place between the check and the rename. The new path
// must not exist.
Win32Result RenameHeld(HANDLE held, const std::wstring& path);
