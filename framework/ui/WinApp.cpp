// Winsock 2 must come before the windows.h that WinApp.h pulls in.
#include <winsock2.h>

#include "WinApp.h"

#include <vector>

namespace {

CWinApp* g_pApp = nullptr;
// Open dialogs of the user-interface thread, innermost last.
std::vector<CMessageFilter*> g_filters;

} // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
    g_pApp = this;
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    return 0;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
    return AfxPreTranslateThreadMessage(pMsg);
}

BOOL AfxPreTranslateThreadMessage(MSG* pMsg) {
    for (auto it = g_filters.rbegin(); it != g_filters.rend(); ++it) {
        HWND hFilter = (*it)->FilterWindow();
        if (hFilter && (pMsg->hwnd == hFilter || ::IsChild(hFilter, pMsg->hwnd)))
            return (*it)->PreTranslateMessage(pMsg);
    }
    return FALSE;
}

void AfxPushMessageFilter(CMessageFilter* filter) {
    g_filters.push_back(filter);
}

void AfxPopMessageFilter(CMessageFilter* filter) {
    for (auto it = g_filters.begin(); it != g_filters.end(); ++it) {
        if (*it == filter) {
            g_filters.erase(it);
            return;
        }
    }
}

CWinApp* AfxGetApp() {
    return g_pApp;
}

HINSTANCE AfxGetResourceHandle() {
    return AfxGetInstanceHandle();
}

namespace {

struct SocketCleanup {
    bool started = false;
    ~SocketCleanup() {
        if (started)
            ::WSACleanup();
    }
} g_sockets;

} // namespace

BOOL AfxSocketInit(WSAData* data) {
    WSADATA local;
    if (::WSAStartup(MAKEWORD(1, 1), data ? data : &local) != 0)
        return FALSE;
    g_sockets.started = true;
    return TRUE;
}
