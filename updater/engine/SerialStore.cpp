#include "SerialStore.h"

#include "MachineStore.h"
#include "Protocol.h"

namespace {

// The serials of the lists whose releases are in place, by the same names.
const char kInstalledKey[] = "SOFTWARE\\Tav\\TavUpdate\\Installed";

Win32Result ReadSerial(const char* keyName, const std::string& name,
                       std::optional<unsigned long long>& serial) {
    serial.reset();
    unsigned long long value = 0;
    DWORD size = sizeof(value);
    const Win32Result read = store::Read(keyName, name, REG_QWORD, &value, size);
    if (!read.Ok() || size == 0)
        return read;
    if (size != sizeof(value))
        return Win32Result::Failed("RegQueryValueEx", ERROR_INVALID_DATA);
    serial = value;
    return Win32Result();
}

Win32Result KeepSerial(const char* keyName, const std::string& name, unsigned long long serial) {
    return store::Keep(keyName, name, REG_QWORD, &serial, sizeof(serial));
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

Win32Result ReadAcceptedSerial(const std::string& name, std::optional<unsigned long long>& serial) {
    return ReadSerial(store::kKey, name, serial);
}

Win32Result KeepAcceptedSerial(const std::string& name, unsigned long long serial) {
    return KeepSerial(store::kKey, name, serial);
}

Win32Result ReadInstalledSerial(const std::string& name,
                                std::optional<unsigned long long>& serial) {
    return ReadSerial(kInstalledKey, name, serial);
}

Win32Result KeepInstalledSerial(const std::string& name, unsigned long long serial) {
    return KeepSerial(kInstalledKey, name, serial);
}
