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

HRESULT AfxGetModuleFileName(HINSTANCE hInstance, std::wstring* path) {
    path->clear();
    wchar_t buffer[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(hInstance, buffer, MAX_PATH);
    if (n == 0)
        return HRESULT_FROM_WIN32(::GetLastError());
    if (n >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    path->assign(buffer, n);
    return S_OK;
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
