#pragma once
// The application object: one global instance, whose InitInstance runs the
// program (the program's entry point calls it) and whose PreTranslateMessage
// sees every message of every modal loop of the program before the dialog's
// own keyboard handling.

#include "Instance.h"

#include <windows.h>

class CWnd;
struct WSAData;

class CWinApp {
public:
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Returns FALSE to end the program once it returns.
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // TRUE: the message was handled here and is not dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Kept for the start-up sequence of the class library; the platform draws
    // three-dimensional controls by itself.
    BOOL Enable3dControls() { return TRUE; }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    const char* m_pszAppName = nullptr;
};

// Gives a window's own keyboard handling (a dialog's IsDialogMessage) its turn.
class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;
    virtual HWND FilterWindow() const = 0;
};

// The base pre-translation of the thread: the innermost open dialog that
// holds the message's window translates it.
BOOL AfxPreTranslateThreadMessage(MSG* pMsg);
void AfxPushMessageFilter(CMessageFilter* filter);
void AfxPopMessageFilter(CMessageFilter* filter);

// This program hosts no ActiveX controls; kept for the start-up sequence.
inline void AfxEnableControlContainer() {}

CWinApp* AfxGetApp();
HINSTANCE AfxGetResourceHandle();

// A message box captioned with the application's name; MB_ICONEXCLAMATION
// when the type names no icon. Safe from any thread.
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT stringId, UINT type = MB_OK, UINT helpId = UINT(-1));

// Windows Sockets start-up for the whole program, cleaned up at exit.
BOOL AfxSocketInit(WSAData* data = nullptr);
