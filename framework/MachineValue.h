#pragma once
// The one reader of values below HKEY_LOCAL_MACHINE, and its writer. Both
// deliverables are 32-bit programs: a 32-bit program's own values, and what
// a package or a 32-bit reg.exe writes, are in the 32-bit registry view
// (WOW6432Node on 64-bit Windows); Group Policy writes into the native view.
// On 32-bit Windows the two are one.

#include "Win32Result.h"

#include <windows.h>

#include <functional>

enum class RegistryViews {
    Only32Bit,       // the 32-bit view alone
    NativeThen32Bit, // the native view first, then the 32-bit one
};

// Opens the key for reading in each view given, in order, and reads the
// value from it with read (which gives a registry code); the first view
// that holds the value answers, and a value of the wrong type there is an
// answer too. Fails with ERROR_FILE_NOT_FOUND when no view holds the key or
// the value; with the registry's error (in RegOpenKeyEx, or in
// RegQueryValueEx for the read) as soon as a view cannot be opened or read.
Win32Result ReadMachineValue(const char* key, RegistryViews views,
                             const std::function<LONG(HKEY)>& read);

// A value of type wanted, at most size bytes, into data; size gets its size,
// 0 when there is none (which is no failure). A value of another type fails
// in RegQueryValueEx with ERROR_INVALID_DATA.
Win32Result ReadMachineData(const char* key, const char* name, RegistryViews views, DWORD wanted,
                            void* data, DWORD& size);

// A value written into the 32-bit view, its key made when missing.
Win32Result KeepMachineData(const char* key, const char* name, DWORD type, const void* data,
                            DWORD size);
