#pragma once
// What an administrator sets for a deliverable, per machine, under
// HKEY_LOCAL_MACHINE\<key>. Both deliverables ship as 32-bit programs, so the
// 32-bit registry view holds it on any Windows (WOW6432Node on 64-bit
// Windows), whichever build reads it.

#include "UniqueHandle.h"

#include <string>
#include <vector>

class CMachinePolicy {
public:
    explicit CMachinePolicy(const char* key);
    CMachinePolicy(const CMachinePolicy&) = delete;
    CMachinePolicy& operator=(const CMachinePolicy&) = delete;

    // Each read gives ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when the key or the
    // value is absent; ERROR_UNSUPPORTED_TYPE for a value of another type;
    // else the registry's own error. The out-value is written on success only.

    // A REG_DWORD.
    LONG ReadDword(const char* name, DWORD& value) const;
    // A REG_SZ or REG_EXPAND_SZ as stored (not expanded), up to its first
    // zero; ERROR_MORE_DATA when it holds more than maxBytes.
    LONG ReadText(const char* name, DWORD maxBytes, std::string& value) const;
    // A REG_MULTI_SZ, its entries up to the first empty one.
    LONG ReadList(const wchar_t* name, std::vector<std::wstring>& entries) const;

private:
    unique_hkey m_key;
    LONG m_openError;
};
