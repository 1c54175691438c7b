#include "SerialStore.h"

#include "Protocol.h"
#include "UniqueHandle.h"

namespace {
const char kKey[] = "SOFTWARE\\Tav\\TavUpdate";
// The serials of the lists whose releases are in place, by the same names.
const char kInstalledKey[] = "SOFTWARE\\Tav\\TavUpdate\\Installed";
const char kKeysKey[] = "SOFTWARE\\Tav\\TavUpdate\\Keys";
const char kBucketValue[] = "RolloutBucket";
const char kDesktopIdValue[] = "DesktopId";

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

// A value of the type and at most the size given; size gets its size, 0
// when there is none.
Win32Result ReadValue(const char* keyName, const std::string& name, DWORD wanted, void* data,
                      DWORD& size) {
    const DWORD room = size;
    size = 0;
    unique_hkey key;
    LONG result = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                                  key.put());
    if (result == ERROR_FILE_NOT_FOUND)
        return Win32Result();
    if (result != ERROR_SUCCESS)
        return Registry("RegOpenKeyEx", result);
    DWORD type = 0, got = room;
    result =
        ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, static_cast<BYTE*>(data), &got);
    if (result == ERROR_FILE_NOT_FOUND)
        return Win32Result();
    if (result != ERROR_SUCCESS)
        return Registry("RegQueryValueEx", result);
    if (type != wanted)
        return Win32Result::Failed("RegQueryValueEx", ERROR_INVALID_DATA);
    size = got;
    return Win32Result();
}

Win32Result KeepValue(const char* keyName, const std::string& name, DWORD type, const void* data,
                      DWORD size) {
    unique_hkey key;
    const Win32Result created =
        Registry("RegCreateKeyEx",
                 ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, key.put(), nullptr));
    if (!created.Ok())
        return created;
    return Registry("RegSetValueEx", ::RegSetValueExA(key.get(), name.c_str(), 0, type,
                                                      static_cast<const BYTE*>(data), size));
}

Win32Result ReadSerial(const char* keyName, const std::string& name,
                       std::optional<unsigned long long>& serial) {
    serial.reset();
    unsigned long long value = 0;
    DWORD size = sizeof(value);
    const Win32Result read = ReadValue(keyName, name, REG_QWORD, &value, size);
    if (!read.Ok() || size == 0)
        return read;
    if (size != sizeof(value))
        return Win32Result::Failed("RegQueryValueEx", ERROR_INVALID_DATA);
    serial = value;
    return Win32Result();
}

Win32Result KeepSerial(const char* keyName, const std::string& name, unsigned long long serial) {
    return KeepValue(keyName, name, REG_QWORD, &serial, sizeof(serial));
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

Win32Result ReadRolloutBucket(std::optional<unsigned>& bucket) {
    bucket.reset();
    DWORD value = 0, size = sizeof(value);
    const Win32Result read = ReadValue(kKey, kBucketValue, REG_DWORD, &value, size);
    if (read.Ok() && size == sizeof(value))
        bucket = value > 9999 ? 9999 : value;
    return read;
}

Win32Result KeepRolloutBucket(unsigned bucket) {
    const DWORD value = bucket;
    return KeepValue(kKey, kBucketValue, REG_DWORD, &value, sizeof(value));
}

Win32Result ReadDesktopId(std::string& id) {
    char text[64] = {};
    DWORD size = sizeof(text) - 1;
    const Win32Result read = ReadValue(kKey, kDesktopIdValue, REG_SZ, text, size);
    id = read.Ok() ? std::string(text) : std::string();
    if (id.size() != 32 || id.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        id.clear();
    return read;
}

Win32Result KeepDesktopId(const std::string& id) {
    return KeepValue(kKey, kDesktopIdValue, REG_SZ, id.c_str(), static_cast<DWORD>(id.size() + 1));
}

Win32Result ReadListKeys(const std::string& name, std::string& keys) {
    char text[8192] = {};
    DWORD size = sizeof(text) - 1;
    const Win32Result read = ReadValue(kKeysKey, name, REG_SZ, text, size);
    keys = read.Ok() ? std::string(text) : std::string();
    return read;
}

Win32Result KeepListKeys(const std::string& name, const std::string& keys) {
    return KeepValue(kKeysKey, name, REG_SZ, keys.c_str(), static_cast<DWORD>(keys.size() + 1));
}
