#pragma once
// What an administrator sets for a deliverable, per machine (PolicyValues.h).
// Both deliverables ship as 32-bit programs: a package or a 32-bit reg.exe
// writes into the 32-bit registry view (WOW6432Node on 64-bit Windows), while
// Group Policy writes into the native one. A value is read from the native
// view first, then from the 32-bit view (MachineValue.h); on 32-bit Windows
// they are one.

#include "PolicyValues.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>
#include <vector>

// Each read succeeds, or fails with ERROR_FILE_NOT_FOUND when the value is in
// neither view, ERROR_UNSUPPORTED_TYPE for a value of another type, else the
// registry's own error. The out-value is written on success only.

// A REG_DWORD.
Win32Result ReadPolicyDword(const PolicyValue& value, DWORD& out);
// A REG_SZ or REG_EXPAND_SZ as stored (not expanded), up to its first zero;
// ERROR_MORE_DATA when it holds more than maxBytes.
Win32Result ReadPolicyText(const PolicyValue& value, DWORD maxBytes, std::string& out);
// A REG_MULTI_SZ, its entries up to the first empty one.
Win32Result ReadPolicyList(const PolicyValue& value, std::vector<std::wstring>& entries);
