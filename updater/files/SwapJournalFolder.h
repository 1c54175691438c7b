#pragma once
// What the journal's writer and its recovery share: the journal's marks and
// the folder it lies in. Inside the file layer only.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>
#include <vector>

namespace swapjournal {

const char kHeader[] = "TavUpdate swap journal";
const char kDone[] = "done\n";
const wchar_t kPattern[] = L"TavUpdate.*.journal";

// A number of this process's own, for names it makes.
unsigned long NextNumber();

// The folder journals lie in, checked by the log folder's rules: elevated,
// the system folder, where no user makes a file; otherwise the user's own.
Win32Result HoldJournalFolder(std::wstring& folder, std::vector<unique_hfile>& held);

} // namespace swapjournal
