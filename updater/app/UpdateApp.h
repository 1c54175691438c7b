#pragma once
// The application object of TavUpdate: starts Windows Sockets and runs the
// update window as a modal dialog; the program ends when it closes.

#include "WinApp.h"

class CUpdateApp : public CWinApp {
public:
    CUpdateApp() = default;

    BOOL InitInstance() override;
    // The pass's exit code (PassExitCode.h).
    int ExitInstance() override { return m_nExitCode; }
    // Esc and Enter go to the focused window untouched, so no dialog of the
    // program can be ended or have a button pressed with them.
    BOOL PreTranslateMessage(MSG* pMsg) override;

private:
    int m_nExitCode = 0;
};
