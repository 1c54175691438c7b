#include "WebControlTestSupport.h"
#include "Fixtures.h"
#include "UniqueHandle.h"

#include <shlwapi.h>

#include <vector>

namespace wctest {

std::string OcxPath() {
    return testenv::BinDir() + "\\TavWebOmblet.ocx";
}

int Regsvr32(bool unregister) {
    return testenv::RunProcess(std::string("C:\\windows\\system32\\regsvr32.exe /s ") +
                               (unregister ? "/u " : "") + "\"" + OcxPath() + "\"");
}

bool KeyExists(HKEY root, const std::string& path) {
    unique_hkey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::string ReadString(HKEY root, const std::string& path, const char* valueName) {
    unique_hkey key;
    char value[1024] = {};
    DWORD size = sizeof(value) - 1;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.get(), valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                           &size) != ERROR_SUCCESS)
        return "<missing>";
    return value;
}

void DeleteTree(HKEY root, const std::string& path) {
    ::SHDeleteKeyA(root, path.c_str());
}

std::string Narrow(const wchar_t* text) {
    char out[1024] = {};
    if (text)
        ::WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof(out) - 1, nullptr, nullptr);
    return out;
}

std::string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

CLSID PropPageClsid() {
    CLSID clsid = {};
    ::CLSIDFromString(const_cast<LPOLESTR>(L"{FE4F5263-11D5-4724-95BA-A978983B6369}"), &clsid);
    return clsid;
}

HRESULT Module::GetClassObject(REFCLSID clsid, IClassFactory** factory) const {
    using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_h, "DllGetClassObject")));
    return fn ? fn(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory)) : E_FAIL;
}

HRESULT Module::CanUnloadNow() const {
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_h, "DllCanUnloadNow")));
    return fn ? fn() : E_FAIL;
}

HRESULT Module::Create(REFCLSID clsid, REFIID riid, void** ppv) const {
    com_ptr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, factory.put());
    return FAILED(hr) ? hr : factory->CreateInstance(nullptr, riid, ppv);
}

} // namespace wctest
