#pragma once
// Registry entries of in-process classes and of the module's type library.
// Each kind of class writes one table of entries under HKEY_CLASSES_ROOT.

#include <windows.h>
#include <ole2.h>

#include <string>

enum AfxRegFlags {
    afxRegDefault = 0,
    afxRegApartmentThreading = 0x0002,
};

// Each returns the code of the first step that failed; what was written
// before it stays.
HRESULT AfxOleRegisterControlClass(HINSTANCE hInstance, REFCLSID clsid, const char* pszProgID,
                                   UINT idTypeName, UINT idBitmap, int nRegFlags,
                                   DWORD dwMiscStatus, REFGUID tlid, WORD wVerMajor,
                                   WORD wVerMinor);
HRESULT AfxOleRegisterPropertyPageClass(HINSTANCE hInstance, REFCLSID clsid, UINT idTypeName,
                                        int nRegFlags);
// Removes what the two above wrote. Keys that others added below the class
// key (its category marks) stay, and with them the class key itself.
HRESULT AfxOleUnregisterClass(REFCLSID clsid, const char* pszProgID);

// The type library comes from the module's own TYPELIB resource.
HRESULT AfxOleRegisterTypeLib(HINSTANCE hInstance, REFGUID tlid);
HRESULT AfxOleUnregisterTypeLib(REFGUID tlid, WORD wVerMajor, WORD wVerMinor, LCID lcid);
HRESULT AfxLoadModuleTypeLib(HINSTANCE hInstance, ITypeLib** ppTypeLib);

std::wstring AfxGuidToString(REFGUID guid);
std::wstring AfxLoadStringW(HINSTANCE hInstance, UINT id);
// A copy in task memory, as OLE hands strings to its callers; null when out of memory.
LPOLESTR AfxCoTaskStrDup(const std::wstring& text);
