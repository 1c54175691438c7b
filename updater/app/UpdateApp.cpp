#include "UpdateApp.h"

#include "ModuleStart.h"
#include "UpdateDlg.h"
#include "resource.h"

CUpdateApp theApp;

BOOL CUpdateApp::InitInstance() {
    RestrictLibrarySearch();
    if (!AfxSocketInit(nullptr)) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED);
        m_nExitCode = EXIT_NOT_STARTED;
        return FALSE;
    }
    AfxEnableControlContainer();
    Enable3dControls();

    // Destroyed before we return: the engine inside it goes with it, after
    // the window has waited for the update worker.
    CUpdateDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    m_nExitCode = dlg.PassResult();
    return FALSE;
}

BOOL CUpdateApp::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN))
        return FALSE;
    return CWinApp::PreTranslateMessage(pMsg);
}
