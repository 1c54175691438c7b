#pragma once
// The keys trusted for a list (KeyRing.h), kept beside its serials
// (MachineStore.h): by the list's value name under the key's subkey "Keys",
// REG_SZ "<INI key>;<current key>;<announced key>" (base64 has no ';').

#include "Win32Result.h"

#include <string>

// Empty when none was kept.
Win32Result ReadListKeys(const std::string& name, std::string& keys);
Win32Result KeepListKeys(const std::string& name, const std::string& keys);
