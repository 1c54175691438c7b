#pragma once
// The highest version list serial this machine accepted, one value per server
// (or set of mirrors) and list path, kept where only an administrator can
// change it: HKEY_LOCAL_MACHINE\SOFTWARE\Tav\TavUpdate (the 32-bit view,
// MachineStore.h), a REG_QWORD named "<FTP|HTTP|HTTPS> <address>:<port>
// <list path>", where a set of mirrors is named by its first address.

#include "Win32Result.h"

#include <optional>
#include <string>

// The value name of a list; port 0 is the protocol's own port, as connecting
// takes it, so both spellings of one server share their serial.
std::string SerialValueName(int protocol, const std::string& address, int port,
                            const std::string& listPath);

// The kept serial, or none when none was kept yet; fails when the value
// cannot be read or is not a serial.
Win32Result ReadAcceptedSerial(const std::string& name, std::optional<unsigned long long>& serial);

Win32Result KeepAcceptedSerial(const std::string& name, unsigned long long serial);

// The serial of the list whose release is in place, kept by the same name
// under the key's subkey "Installed": the local list a later pass falls back
// on must not be older.
Win32Result ReadInstalledSerial(const std::string& name, std::optional<unsigned long long>& serial);
Win32Result KeepInstalledSerial(const std::string& name, unsigned long long serial);
