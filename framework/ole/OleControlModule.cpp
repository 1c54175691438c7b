#include "OleControlModule.h"
#include "OleControl.h"

namespace {
COleControlModule* g_module = nullptr;
volatile LONG g_locks = 0;
} // namespace

COleControlModule::COleControlModule() {
    g_module = this;
}

COleControlModule::~COleControlModule() {
    if (g_module == this)
        g_module = nullptr;
}

COleControlModule* AfxGetModule() {
    return g_module;
}

std::wstring AfxGetModuleFileName(HINSTANCE hInstance) {
    wchar_t path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameW(hInstance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    return std::wstring(path, n);
}

void AfxOleLockApp() {
    ::InterlockedIncrement(&g_locks);
}

void AfxOleUnlockApp() {
    ::InterlockedDecrement(&g_locks);
}

BOOL AfxDllMain(HINSTANCE hInstance, DWORD dwReason) {
    if (!g_module)
        return FALSE;
    switch (dwReason) {
    case DLL_PROCESS_ATTACH:
        g_module->m_hInstance = hInstance;
        ::DisableThreadLibraryCalls(hInstance);
        return g_module->InitInstance();
    case DLL_PROCESS_DETACH:
        g_module->ExitInstance();
        // A later load may sit at another address: the class must not outlive us.
        AfxUnregisterControlWindowClass();
        break;
    default:
        break;
    }
    return TRUE;
}

HRESULT AfxDllCanUnloadNow() {
    return g_locks == 0 ? S_OK : S_FALSE;
}
