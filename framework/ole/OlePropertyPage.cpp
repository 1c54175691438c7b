#include "OlePropertyPage.h"
#include "OleControlModule.h"
#include "OleRegistry.h"

#include <cstring>

COlePropertyPage::COlePropertyPage(UINT idTemplate, UINT idCaption)
    : m_idTemplate(idTemplate), m_idCaption(idCaption) {
    AfxOleLockApp();
}

COlePropertyPage::~COlePropertyPage() {
    if (m_hDlg)
        ::DestroyWindow(m_hDlg);
    AfxOleUnlockApp();
}

void COlePropertyPage::DoDataExchange(bool) {}

void COlePropertyPage::SetModifiedFlag(bool modified) {
    m_bDirty = modified;
    if (m_pPageSite)
        m_pPageSite->OnStatusChange(modified ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPage)) {
        *ppv = static_cast<IPropertyPage*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE COlePropertyPage::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE COlePropertyPage::Release() {
    LONG n = ::InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::SetPageSite(IPropertyPageSite* pPageSite) {
    m_pPageSite.reset(pPageSite);
    return S_OK;
}

INT_PTR CALLBACK COlePropertyPage::DialogProc(HWND hDlg, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        return TRUE;
    }
    return FALSE;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::Activate(HWND hWndParent, LPCRECT pRect, BOOL) {
    if (m_hDlg)
        return E_UNEXPECTED;
    m_hDlg = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_idTemplate),
                                  hWndParent, DialogProc, reinterpret_cast<LPARAM>(this));
    if (!m_hDlg)
        return E_FAIL;
    DoDataExchange(false);
    if (pRect)
        Move(pRect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::Deactivate() {
    if (!m_hDlg)
        return E_UNEXPECTED;
    ::DestroyWindow(m_hDlg);
    m_hDlg = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::GetPageInfo(PROPPAGEINFO* pPageInfo) {
    if (!pPageInfo)
        return E_POINTER;
    // The dialog's own size in pixels: made once, out of sight, on a
    // hidden parent, so that the system converts the dialog units.
    SIZE size = {0, 0};
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    AfxGetInstanceHandle(), nullptr);
    if (parent) {
        HWND probe = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_idTemplate),
                                          parent, DialogProc, 0);
        if (probe) {
            RECT rc;
            ::GetWindowRect(probe, &rc);
            size.cx = rc.right - rc.left;
            size.cy = rc.bottom - rc.top;
            ::DestroyWindow(probe);
        }
        ::DestroyWindow(parent);
    }
    LPOLESTR copy = AfxCoTaskStrDup(AfxLoadStringW(AfxGetInstanceHandle(), m_idCaption));
    if (!copy)
        return E_OUTOFMEMORY;
    pPageInfo->cb = sizeof(PROPPAGEINFO);
    pPageInfo->pszTitle = copy;
    pPageInfo->size = size;
    pPageInfo->pszDocString = nullptr;
    pPageInfo->pszHelpFile = nullptr;
    pPageInfo->dwHelpContext = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::SetObjects(ULONG cObjects, IUnknown** ppUnk) {
    if (cObjects && !ppUnk)
        return E_POINTER;
    m_objects.clear();
    try {
        for (ULONG i = 0; i < cObjects; ++i) {
            if (ppUnk[i])
                m_objects.emplace_back(ppUnk[i]);
        }
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::Show(UINT nCmdShow) {
    if (!m_hDlg)
        return E_UNEXPECTED;
    ::ShowWindow(m_hDlg, static_cast<int>(nCmdShow));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::Move(LPCRECT pRect) {
    if (!pRect)
        return E_POINTER;
    if (!m_hDlg)
        return E_UNEXPECTED;
    ::MoveWindow(m_hDlg, pRect->left, pRect->top, pRect->right - pRect->left,
                 pRect->bottom - pRect->top, TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::IsPageDirty() {
    return m_bDirty ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::Apply() {
    if (m_hDlg)
        DoDataExchange(true);
    m_bDirty = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::Help(LPCOLESTR) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COlePropertyPage::TranslateAccelerator(MSG* pMsg) {
    if (!pMsg || !m_hDlg)
        return S_FALSE;
    return ::IsDialogMessageW(m_hDlg, pMsg) ? S_OK : S_FALSE;
}
