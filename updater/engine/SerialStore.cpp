#include "SerialStore.h"

#include "Protocol.h"
#include "UniqueHandle.h"

namespace {
const char kKey[] = "SOFTWARE\\Tav\\TavUpdate";

// Registry calls return their error instead of setting it.
bool Succeeded(LONG result) {
    if (result == ERROR_SUCCESS)
        return true;
    ::SetLastError(static_cast<DWORD>(result));
    return false;
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

int ReadAcceptedSerial(const std::string& name, unsigned long long& serial) {
    unique_hkey key;
    LONG result =
        ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.put());
    if (result == ERROR_FILE_NOT_FOUND)
        return 0;
    if (!Succeeded(result))
        return -1;
    DWORD type = 0;
    unsigned long long value = 0;
    DWORD size = sizeof(value);
    result = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(&value), &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return 0;
    if (!Succeeded(result))
        return -1;
    if (type != REG_QWORD || size != sizeof(value)) {
        ::SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    serial = value;
    return 1;
}

bool KeepAcceptedSerial(const std::string& name, unsigned long long serial) {
    unique_hkey key;
    if (!Succeeded(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, key.put(), nullptr)))
        return false;
    return Succeeded(::RegSetValueExA(key.get(), name.c_str(), 0, REG_QWORD,
                                      reinterpret_cast<const BYTE*>(&serial), sizeof(serial)));
}
