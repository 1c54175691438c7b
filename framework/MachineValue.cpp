#include "MachineValue.h"

#include "UniqueHandle.h"

namespace {

// Registry calls return their error instead of setting it.
Win32Result Registry(const char* call, LONG result) {
    return result == ERROR_SUCCESS ? Win32Result()
                                   : Win32Result::Failed(call, static_cast<DWORD>(result));
}

} // namespace

Win32Result ReadMachineValue(const char* key, RegistryViews views,
                             const std::function<LONG(HKEY)>& read) {
    const REGSAM native[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    const REGSAM only32[] = {KEY_WOW64_32KEY};
    const bool both = views == RegistryViews::NativeThen32Bit;
    const REGSAM* first = both ? native : only32;
    const REGSAM* last = both ? native + 2 : only32 + 1;
    Win32Result result = Registry("RegOpenKeyEx", ERROR_FILE_NOT_FOUND);
    for (const REGSAM* view = first; view != last; ++view) {
        unique_hkey opened;
        const LONG rc =
            ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | *view, opened.put());
        result = rc == ERROR_SUCCESS ? Registry("RegQueryValueEx", read(opened.get()))
                                     : Registry("RegOpenKeyEx", rc);
        if (result.Error() != ERROR_FILE_NOT_FOUND)
            return result;
    }
    return result;
}

Win32Result ReadMachineData(const char* key, const char* name, RegistryViews views, DWORD wanted,
                            void* data, DWORD& size) {
    const DWORD room = size;
    size = 0;
    DWORD type = 0, got = 0;
    const Win32Result read = ReadMachineValue(key, views, [&](HKEY opened) {
        got = room;
        return ::RegQueryValueExA(opened, name, nullptr, &type, static_cast<BYTE*>(data), &got);
    });
    if (read.Error() == ERROR_FILE_NOT_FOUND)
        return Win32Result();
    if (!read.Ok())
        return read;
    if (type != wanted)
        return Win32Result::Failed("RegQueryValueEx", ERROR_INVALID_DATA);
    size = got;
    return Win32Result();
}

Win32Result KeepMachineData(const char* key, const char* name, DWORD type, const void* data,
                            DWORD size) {
    unique_hkey opened;
    const Win32Result created = Registry(
        "RegCreateKeyEx",
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, opened.put(), nullptr));
    if (!created.Ok())
        return created;
    return Registry("RegSetValueEx", ::RegSetValueExA(opened.get(), name, 0, type,
                                                      static_cast<const BYTE*>(data), size));
}
