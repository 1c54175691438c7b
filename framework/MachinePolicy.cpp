#include "MachinePolicy.h"

#include "MachineValue.h"

#include <cstring>
#include <cwchar>

Win32Result ReadPolicyDword(const PolicyValue& value, DWORD& out) {
    return ReadMachineValue(value.key, RegistryViews::NativeThen32Bit, [&](HKEY key) {
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof(data);
        const LONG rc = ::RegQueryValueExA(key, value.name, nullptr, &type,
                                           reinterpret_cast<BYTE*>(&data), &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (type != REG_DWORD)
            return static_cast<LONG>(ERROR_UNSUPPORTED_TYPE);
        out = data;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

Win32Result ReadPolicyText(const PolicyValue& value, DWORD maxBytes, std::string& out) {
    return ReadMachineValue(value.key, RegistryViews::NativeThen32Bit, [&](HKEY key) {
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExA(key, value.name, nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return static_cast<LONG>(ERROR_UNSUPPORTED_TYPE);
        if (size > maxBytes)
            return static_cast<LONG>(ERROR_MORE_DATA);
        std::vector<char> data(size + 1, '\0'); // a stored value may lack its zero
        rc = ::RegQueryValueExA(key, value.name, nullptr, &type,
                                reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return static_cast<LONG>(ERROR_UNSUPPORTED_TYPE);
        out = data.data();
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

Win32Result ReadPolicyList(const PolicyValue& value, std::vector<std::wstring>& entries) {
    // Value names are ASCII.
    std::wstring name(value.name, value.name + std::strlen(value.name));
    return ReadMachineValue(value.key, RegistryViews::NativeThen32Bit, [&](HKEY key) {
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (type != REG_MULTI_SZ)
            return static_cast<LONG>(ERROR_UNSUPPORTED_TYPE);
        // Two spare zeros end the list even when the stored value lacks them.
        std::wstring data(size / sizeof(wchar_t) + 2, L'\0');
        size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(&data[0]), &size);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (type != REG_MULTI_SZ)
            return static_cast<LONG>(ERROR_UNSUPPORTED_TYPE);
        entries.clear();
        for (const wchar_t* entry = data.c_str(); *entry; entry += std::wcslen(entry) + 1)
            entries.emplace_back(entry);
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}
