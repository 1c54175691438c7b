#pragma once
// What the folder security rule (FolderSecurity.h) reads, from the platform:
// an open folder's owner and access list, and the account this process runs as.

#include "FolderSecurity.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>

// The account of this process's token as a SID string where
// IsOwnAccountTrusted holds for the token; else, or when unknown, empty.
std::string TrustedOwnAccount();

// The owner and the entries of the folder's access list (opened with
// READ_CONTROL).
Win32Result ReadFolderSecurity(HANDLE folder, FolderSecurity& security);
