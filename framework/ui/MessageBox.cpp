#include "AppName.h"
#include "WinApp.h"
#include "Wnd.h"

#include <string>

int AfxMessageBox(const char* text, UINT type, UINT /*helpId*/) {
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    CWinApp* app = AfxGetApp();
    std::string caption = app && app->m_pszAppName ? app->m_pszAppName : AfxGetAppName();
    // Owned by the main window, so the box stays above the topmost update
    // window, also when the worker shows it.
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    if (owner && !::IsWindow(owner))
        owner = nullptr;
    return ::MessageBoxA(owner, text, caption.c_str(), type);
}

int AfxMessageBox(UINT stringId, UINT type, UINT helpId) {
    char text[512] = {};
    ::LoadStringA(AfxGetResourceHandle(), stringId, text, sizeof(text));
    return AfxMessageBox(text, type, helpId);
}
