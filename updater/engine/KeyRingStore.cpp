#include "KeyRingStore.h"

#include "MachineStore.h"

namespace {
const char kKeysKey[] = "SOFTWARE\\Tav\\TavUpdate\\Keys";
} // namespace

Win32Result ReadListKeys(const std::string& name, std::string& keys) {
    char text[8192] = {};
    DWORD size = sizeof(text) - 1;
    const Win32Result read = store::Read(kKeysKey, name, REG_SZ, text, size);
    keys = read.Ok() ? std::string(text) : std::string();
    return read;
}

Win32Result KeepListKeys(const std::string& name, const std::string& keys) {
    return store::Keep(kKeysKey, name, REG_SZ, keys.c_str(), static_cast<DWORD>(keys.size() + 1));
}
