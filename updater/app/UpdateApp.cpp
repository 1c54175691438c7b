#include "UpdateApp.h"

#include "AULMgr.h"
#include "CommandLine.h"
#include "PassEvent.h"
#include "ModuleStart.h"
#include "TaskSchedule.h"
#include "UpdateDlg.h"
#include "resource.h"

#include <cstdlib>

CUpdateApp theApp;

namespace {

// The pass on this thread with no window at all: nothing to show, no box,
// no program started. Every such pass is logged, as nobody watches it.
int RunUnattendedPass(const std::string& configPath) {
    if (!AfxSocketInit(nullptr)) {
        ReportPassEvent(NotStarted("AfxSocketInit", Win32Result()), std::string());
        return EXIT_NOT_STARTED;
    }
    PassOptions options;
    options.configPath = configPath;
    options.unattended = true;
    CAULMgr manager;
    const PassOutcome outcome = manager.RunPass(options, nullptr);
    ReportPassEvent(outcome, manager.Config().remoteVersionFile);
    return outcome.exitCode;
}

} // namespace

BOOL CUpdateApp::InitInstance() {
    RestrictLibrarySearch();
    const UpdateCommandLine line = ParseCommandLine(__argc, __argv);
    if (line.command == UpdateCommand::Schedule || line.command == UpdateCommand::Unschedule ||
        line.command == UpdateCommand::Refused) {
        // No window and no pass: the task is set or removed, 0 or 1 said.
        CTaskSchedule schedule;
        const int ok =
            line.command == UpdateCommand::Unschedule ? schedule.Remove() : schedule.Register(line);
        m_nExitCode = ok ? 0 : 1;
        return FALSE;
    }
    if (line.command == UpdateCommand::Unattended) {
        m_nExitCode = RunUnattendedPass(line.configPath);
        return FALSE;
    }
    if (!AfxSocketInit(nullptr)) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED);
        m_nExitCode = EXIT_NOT_STARTED;
        ReportPassEvent(NotStarted("AfxSocketInit", Win32Result()), std::string());
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
