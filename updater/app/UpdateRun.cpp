// The update pass: one worker thread has the window's engine run its pass on
// the window and closes the window when it is done.
#include "UpdateDlg.h"

#include "PassEvent.h"

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
        const Win32Result failed = Win32Result::Failed("CreateThread");
        m_nExitCode.store(EXIT_NOT_STARTED);
        m_manager.Trace(TRACE_ERROR, "OnStartUpdate : ERROR, CreateThread, EC=%d",
                        static_cast<int>(failed.Error()));
        ReportPassEvent(NotStarted("OnStartUpdate", failed), std::string());
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
    PassOptions options;
    if (__argc >= 2)
        options.configPath = __argv[1];
    const PassOutcome outcome = m_manager.RunPass(options, this);
    m_nExitCode.store(outcome.exitCode);
    // A pass someone watches is logged only when it fails.
    if (outcome.exitCode != EXIT_PASS_OK)
        ReportPassEvent(outcome, m_manager.Config().remoteVersionFile);

    // Once the pass is marked done the window may go at any moment: nothing
    // of it is touched after that.
    HWND hWnd = m_hWnd;
    m_bPassDone.store(true);
    ::PostMessageA(hWnd, WM_CLOSE, 0, 0);
    return 0;
}
