#include "SerialStore.h"

#include "Protocol.h"
#include "UniqueHandle.h"

namespace {
const char kKey[] = "SOFTWARE\\Tav\\TavUpdate";
// The serials of the lists whose releases are in place, by the same names.
const char kInstalledKey[] = "SOFTWARE\\Tav\\TavUpdate\\Installed";

// Registry calls return their error instead of setting it.
Win32Result Registry(const char* call, LONG result) {
    return result == ERROR_SUCCESS ? Win32Result()
                                   : Win32Result::Failed(call, static_cast<DWORD>(result));
}

} // namespace

std::string SerialValueName(int protocol, const std::string& address, int port,
                            const std::string& listPath) {
    // HTTPS has a value of its own: a list taken over TLS is not one over HTTP.
    const bool ftp = protocol == PROTOCOL_FTP, https = protocol == PROTOCOL_HTTPS;
    if (port == 0)
        port = DefaultPort(ftp || https ? protocol : PROTOCOL_HTTP);
    return std::string(ftp     ? "FTP "
                       : https ? "HTTPS "
                               : "HTTP ") +
           address + ":" + std::to_string(port) + " " + listPath;
}

namespace {

Win32Result ReadSerial(const char* keyName, const std::string& name,
                       std::optional<unsigned long long>& serial) {
    serial.reset();
    unique_hkey key;
    LONG result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                                  key.put());
    if (result == ERROR_FILE_NOT_FOUND)
        return Win32Result();
    if (result != ERROR_SUCCESS)
        return Registry("RegOpenKeyEx", result);
    DWORD type = 0;
    unsigned long long value = 0;
    DWORD size = sizeof(value);
    result = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(&value), &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return Win32Result();
    if (result != ERROR_SUCCESS)
        return Registry("RegQueryValueEx", result);
    if (type != REG_QWORD || size != sizeof(value))
        return Win32Result::Failed("RegQueryValueEx", ERROR_INVALID_DATA);
    serial = value;
    return Win32Result();
}

Win32Result KeepSerial(const char* keyName, const std::string& name, unsigned long long serial) {
    unique_hkey key;
    const Win32Result created =
        Registry("RegCreateKeyEx",
                 ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, key.put(), nullptr));
    if (!created.Ok())
        return created;
    return Registry("RegSetValueEx",
                    ::RegSetValueExA(key.get(), name.c_str(), 0, REG_QWORD,
                                     reinterpret_cast<const BYTE*>(&serial), sizeof(serial)));
}

} // namespace

Win32Result ReadAcceptedSerial(const std::string& name, std::optional<unsigned long long>& serial) {
    return ReadSerial(kKey, name, serial);
}

Win32Result KeepAcceptedSerial(const std::string& name, unsigned long long serial) {
    return KeepSerial(kKey, name, serial);
}

Win32Result ReadInstalledSerial(const std::string& name,
                                std::optional<unsigned long long>& serial) {
    return ReadSerial(kInstalledKey, name, serial);
}

Win32Result KeepInstalledSerial(const std::string& name, unsigned long long serial) {
    return KeepSerial(kInstalledKey, name, serial);
}
