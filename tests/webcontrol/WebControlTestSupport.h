#pragma once
// Helpers shared by the web control tests: where the module lies, running a
// program to its end, reading the registry, and the module loaded in-process.

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <objsafe.h>
#include <olectl.h>

#include "ComPtr.h"

#include <string>

namespace wctest {

// Windows path of TavWebOmblet.ocx beside the test program.
std::string OcxPath();

int Regsvr32(bool unregister);

bool KeyExists(HKEY root, const std::string& path);
// The value as text, or "<missing>".
std::string ReadString(HKEY root, const std::string& path, const char* valueName = nullptr);
void DeleteTree(HKEY root, const std::string& path);

std::string GuidText(REFGUID guid);
CLSID PropPageClsid();
std::string Narrow(const wchar_t* text);

// The control module loaded with LoadLibrary (left loaded: objects of a
// failed test may still point into it) and its class objects.
class Module {
public:
    Module() : Module(OcxPath()) {}
    explicit Module(const std::string& path) : m_h(::LoadLibraryA(path.c_str())) {}
    bool Ok() const { return m_h != nullptr; }
    HMODULE Handle() const { return m_h; }
    HRESULT GetClassObject(REFCLSID clsid, IClassFactory** factory) const;
    HRESULT CanUnloadNow() const;
    // A new object of the class, queried for riid.
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv) const;

private:
    HMODULE m_h;
};

} // namespace wctest
