#pragma once
// The highest version list serial this machine accepted, one value per server
// and list path, kept where only an administrator can change it:
// HKEY_LOCAL_MACHINE\SOFTWARE\Tav\TavUpdate (the 32-bit view), a REG_QWORD
// named "<FTP|HTTP|HTTPS> <address>:<port> <list path>".

#include <string>

// The value name of a list; port 0 is the protocol's own port, as connecting
// takes it, so both spellings of one server share their serial.
std::string SerialValueName(int protocol, const std::string& address, int port,
                            const std::string& listPath);

// 1 with the serial, 0 when none was kept yet, -1 when the value cannot be
// read or is not a serial (the system's error code is left).
int ReadAcceptedSerial(const std::string& name, unsigned long long& serial);

// Keeps the serial; false with the system's error code left.
bool KeepAcceptedSerial(const std::string& name, unsigned long long serial);
