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
        m_nExitCode.store(EXIT_NOT_STARTED);
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

    // The first stage that fails names the pass's exit code.
    int exitCode = EXIT_PASS_OK;
    const auto failedAs = [&exitCode](int ok, PassExitCode code) {
        if (!ok && exitCode == EXIT_PASS_OK)
            exitCode = code;
        return ok;
    };
    int ok = failedAs(m_manager.LoadConfig(path), EXIT_NO_CONFIG);
    if (ok)
        ok = failedAs(m_manager.BeginPass(), EXIT_OTHER_PASS);
    if (ok)
        ok = failedAs(m_manager.ConnectServer(), EXIT_NO_SERVER);
    ::Sleep(100);
    if (ok) {
        ok = m_manager.GetVersionInfo();
        // Over HTTP an unreachable server shows only now.
        failedAs(ok, m_manager.ServerAnswered() ? EXIT_NO_LIST : EXIT_NO_SERVER);
    }
    ::Sleep(100);
    if (ok)
        ok = failedAs(m_manager.ParseVersionInfo(), EXIT_NO_LIST);
    ::Sleep(100);
    if (ok)
        ok = failedAs(m_manager.CompareVersionInfo(), EXIT_NO_LIST);
    ::Sleep(100);
    if (ok && m_manager.CountModulesToUpdate() >= 1) {
        m_manager.DownloadNewFiles();
        m_manager.RegisterModule();
    }
    // The comparison can refuse a module too (its folder).
    failedAs(m_manager.FailedModules() == 0, EXIT_MODULE_FAILED);
    ::Sleep(100);
    failedAs(m_manager.LaunchModule() && m_manager.FailedStarts() == 0, EXIT_LAUNCH_FAILED);
    m_manager.EndPass();
    ::Sleep(100);
    m_nExitCode.store(exitCode);

    // Once the pass is marked done the window may go at any moment: nothing
    // of it is touched after that.
    HWND hWnd = m_hWnd;
    m_bPassDone.store(true);
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    return 0;
}
