#pragma once
// The DLL's one module object: its instance handle and the count of live
// objects and server locks that DllCanUnloadNow answers from.

#include "Instance.h"

#include <windows.h>

#include <string>

class COleControlModule {
public:
    COleControlModule();
    virtual ~COleControlModule();
    COleControlModule(const COleControlModule&) = delete;
    COleControlModule& operator=(const COleControlModule&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    HINSTANCE m_hInstance = nullptr;
};

COleControlModule* AfxGetModule();
// Full path of a module's file, as the registry and LoadTypeLib want it; a
// path that does not fit MAX_PATH is refused.
HRESULT AfxGetModuleFileName(HINSTANCE hInstance, std::wstring* path);

// Every live object and every IClassFactory::LockServer(TRUE) holds one count.
void AfxOleLockApp();
void AfxOleUnlockApp();

// The DLL's DllMain hands its calls here.
BOOL AfxDllMain(HINSTANCE hInstance, DWORD dwReason);
HRESULT AfxDllCanUnloadNow();
