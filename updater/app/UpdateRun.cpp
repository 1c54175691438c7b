// The update pass: one worker thread drives the window's engine through its
// stages and closes the window when it is done.
#include "UpdateDlg.h"

#include <cstdlib>

LRESULT CUpdateDlg::OnStartUpdate(WPARAM, LPARAM) {
    // Any process can post this message; a second worker would run the same
    // engine and downloader at once. One pass per window.
    if (m_hWorker)
        return 0;
    DWORD threadId = 0;
    HANDLE hThread = ::CreateThread(nullptr, // default security
                                    0,       // default stack size
                                    UpdateThreadProc, this, 0, &threadId);
    if (!hThread) {
        // No worker will ever post the final close: close now.
        m_manager.Trace(TRACE_ERROR, "OnStartUpdate : ERROR, CreateThread, EC=%d",
                        static_cast<int>(::GetLastError()));
        PostMessage(WM_CLOSE);
        return 0;
    }
    // Kept (unlike a fire-and-forget start) so the window can wait for the
    // worker before the engine it uses is destroyed.
    m_hWorker.reset(hThread);
    return reinterpret_cast<LRESULT>(hThread);
}

DWORD WINAPI UpdateThreadProc(LPVOID pParam) {
    CUpdateDlg* pDlg = static_cast<CUpdateDlg*>(pParam);
    pDlg->RunUpdate();
    return 0;
}

int CUpdateDlg::RunUpdate() {
    std::string path;
    if (__argc >= 2)
        path = __argv[1];

    m_manager.AttachView(this);

    int ok = m_manager.LoadConfig(path);
    if (ok)
        ok = m_manager.BeginPass();
    if (ok)
        ok = m_manager.ConnectServer();
    ::Sleep(100);
    if (ok)
        ok = m_manager.GetVersionInfo();
    ::Sleep(100);
    if (ok)
        ok = m_manager.ParseVersionInfo();
    ::Sleep(100);
    if (ok)
        ok = m_manager.CompareVersionInfo();
    ::Sleep(100);
    if (ok && m_manager.CountModulesToUpdate() >= 1) {
        m_manager.DownloadNewFiles();
        m_manager.RegisterModule();
    }
    ::Sleep(100);
    m_manager.LaunchModule();
    m_manager.EndPass();
    ::Sleep(100);

    // Once the pass is marked done the window may go at any moment: nothing
    // of it is touched after that.
    HWND hWnd = m_hWnd;
    m_bPassDone.store(true);
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    return 0;
}
