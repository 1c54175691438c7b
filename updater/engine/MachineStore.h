#pragma once
// Where the updater keeps what it learns per machine, so that only an
// administrator can change it: values under
// HKEY_LOCAL_MACHINE\SOFTWARE\Tav\TavUpdate and its subkeys, in the 32-bit
// registry view alone (MachineValue.h).

#include "MachineValue.h"

#include <string>

namespace store {

inline constexpr char kKey[] = "SOFTWARE\\Tav\\TavUpdate";

// A value of type wanted and at most size bytes; size gets its size, 0 when
// there is none.
inline Win32Result Read(const char* key, const std::string& name, DWORD wanted, void* data,
                        DWORD& size) {
    return ReadMachineData(key, name.c_str(), RegistryViews::Only32Bit, wanted, data, size);
}

inline Win32Result Keep(const char* key, const std::string& name, DWORD type, const void* data,
                        DWORD size) {
    return KeepMachineData(key, name.c_str(), type, data, size);
}

} // namespace store
