#include "MachinePolicy.h"

#include <cwchar>

CMachinePolicy::CMachinePolicy(const char* key)
    : m_openError(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                                  m_key.put())) {}

LONG CMachinePolicy::ReadDword(const char* name, DWORD& value) const {
    if (m_openError != ERROR_SUCCESS)
        return m_openError;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG rc = ::RegQueryValueExA(m_key.get(), name, nullptr, &type,
                                       reinterpret_cast<BYTE*>(&data), &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_DWORD)
        return ERROR_UNSUPPORTED_TYPE;
    value = data;
    return ERROR_SUCCESS;
}

LONG CMachinePolicy::ReadText(const char* name, DWORD maxBytes, std::string& value) const {
    if (m_openError != ERROR_SUCCESS)
        return m_openError;
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = ::RegQueryValueExA(m_key.get(), name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_UNSUPPORTED_TYPE;
    if (size > maxBytes)
        return ERROR_MORE_DATA;
    std::vector<char> data(size + 1, '\0'); // a stored value may lack its zero
    rc = ::RegQueryValueExA(m_key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                            &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_UNSUPPORTED_TYPE;
    value = data.data();
    return ERROR_SUCCESS;
}

LONG CMachinePolicy::ReadList(const wchar_t* name, std::vector<std::wstring>& entries) const {
    if (m_openError != ERROR_SUCCESS)
        return m_openError;
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = ::RegQueryValueExW(m_key.get(), name, nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_MULTI_SZ)
        return ERROR_UNSUPPORTED_TYPE;
    // Two spare zeros end the list even when the stored value lacks them.
    std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
    size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    rc = ::RegQueryValueExW(m_key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                            &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (type != REG_MULTI_SZ)
        return ERROR_UNSUPPORTED_TYPE;
    entries.clear();
    for (const wchar_t* entry = data.c_str(); *entry; entry += std::wcslen(entry) + 1)
        entries.emplace_back(entry);
    return ERROR_SUCCESS;
}
