#include "Dialog.h"

#include <commctrl.h>

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nTemplateId(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() {
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

const AFX_MSGMAP* CDialog::GetMessageMap() const {
    static const AFX_MSGMAP map = {nullptr, 0};
    return &map;
}

INT_PTR CDialog::DoModal() {
    // Like the class library: without a parent, the main window (if it is
    // another, visible window) owns the dialog and is disabled meanwhile.
    HWND owner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    CWinApp* app = AfxGetApp();
    if (!owner && app && app->m_pMainWnd && app->m_pMainWnd != this)
        owner = app->m_pMainWnd->GetSafeHwnd();
    if (owner && !::IsWindow(owner))
        owner = nullptr;

    // The progress bar class lives in the common controls library.
    ::InitCommonControls();
    m_bEnded = false;
    m_nResult = -1;
    HWND hWnd = ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nTemplateId), owner,
                                     DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hWnd)
        return -1;
    bool ownerDisabled = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    if (!m_bEnded)
        ::ShowWindow(hWnd, SW_SHOW);

    AfxPushMessageFilter(this);
    MSG msg;
    while (!m_bEnded) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Keep the quit request for the loop below us.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        BOOL handled = app ? app->PreTranslateMessage(&msg) : AfxPreTranslateThreadMessage(&msg);
        if (!handled) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    AfxPopMessageFilter(this);

    // Enable the owner before this window goes, so activation returns to it.
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (owner && ::GetActiveWindow() == hWnd)
        ::SetActiveWindow(owner);
    ::DestroyWindow(hWnd);
    m_hWnd = nullptr;
    return m_nResult;
}

void CDialog::EndDialog(INT_PTR result) {
    m_nResult = result;
    m_bEnded = true;
    if (m_hWnd)
        ::ShowWindow(m_hWnd, SW_HIDE);
    // Wakes the modal loop if it waits for a message.
    ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    return ::IsDialogMessageA(m_hWnd, pMsg);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDialog* self;
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    return self->OnMessage(msg, wParam, lParam);
}

INT_PTR CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG)
        return OnInitDialog();

    const AFX_MSGMAP* map = GetMessageMap();
    for (size_t i = 0; i < map->count; ++i) {
        if (map->entries[i].nMessage != msg)
            continue;
        m_bDefault = false;
        LRESULT result = (this->*map->entries[i].pfn)(wParam, lParam);
        if (m_bDefault)
            break;
        // Messages whose result is the return value itself rather than DWLP_MSGRESULT.
        switch (msg) {
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }

    if (msg == WM_COMMAND) {
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}
