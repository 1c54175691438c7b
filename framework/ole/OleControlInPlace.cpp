// In-place activation of the windowed control: IOleWindow,
// IOleInPlaceObject and IOleInPlaceActiveObject.
#include "OleControl.h"

HRESULT COleControl::InPlaceActivate(LONG) {
    if (m_pInPlaceSite) {
        if (m_hWnd)
            ::ShowWindow(m_hWnd, SW_SHOW);
        return S_OK;
    }
    if (!m_pClientSite)
        return E_UNEXPECTED;
    com_ptr<IOleInPlaceSite> site;
    HRESULT hr = m_pClientSite.As(&site);
    if (FAILED(hr))
        return hr;
    if (site->CanInPlaceActivate() != S_OK)
        return E_FAIL;
    hr = site->OnInPlaceActivate();
    if (FAILED(hr))
        return hr;
    m_pInPlaceSite = std::move(site);

    HWND parent = nullptr;
    RECT rcPos = {};
    RECT rcClip = {};
    OLEINPLACEFRAMEINFO frameInfo = {};
    frameInfo.cb = sizeof(frameInfo);
    m_pInPlaceSite->GetWindow(&parent);
    m_pInPlaceSite->GetWindowContext(m_pInPlaceFrame.put(), m_pInPlaceDoc.put(), &rcPos, &rcClip,
                                     &frameInfo);
    if (!parent || !CreateControlWindow(parent, rcPos)) {
        InPlaceDeactivate();
        return E_FAIL;
    }
    return S_OK;
}

HRESULT COleControl::UIActivate() {
    HRESULT hr = InPlaceActivate(OLEIVERB_UIACTIVATE);
    if (FAILED(hr))
        return hr;
    if (m_bUIActive)
        return S_OK;
    m_bUIActive = true;
    m_pInPlaceSite->OnUIActivate();
    IOleInPlaceActiveObject* active = this;
    if (m_pInPlaceFrame)
        m_pInPlaceFrame->SetActiveObject(active, nullptr);
    if (m_pInPlaceDoc)
        m_pInPlaceDoc->SetActiveObject(active, nullptr);
    if (m_pInPlaceFrame)
        m_pInPlaceFrame->SetBorderSpace(nullptr);
    if (m_hWnd)
        ::SetFocus(m_hWnd);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetWindow(HWND* phwnd) {
    if (!phwnd)
        return E_POINTER;
    *phwnd = m_hWnd;
    return m_hWnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE COleControl::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::InPlaceDeactivate() {
    if (!m_pInPlaceSite)
        return S_OK;
    UIDeactivate();
    DestroyControlWindow();
    // Taken out first: the site may call back into the control.
    com_ptr<IOleInPlaceSite> site = std::move(m_pInPlaceSite);
    m_pInPlaceFrame.reset();
    m_pInPlaceDoc.reset();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::UIDeactivate() {
    if (!m_bUIActive)
        return S_OK;
    m_bUIActive = false;
    if (m_pInPlaceDoc)
        m_pInPlaceDoc->SetActiveObject(nullptr, nullptr);
    if (m_pInPlaceFrame)
        m_pInPlaceFrame->SetActiveObject(nullptr, nullptr);
    if (m_pInPlaceSite)
        m_pInPlaceSite->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::SetObjectRects(LPCRECT lprcPosRect, LPCRECT) {
    if (!lprcPosRect)
        return E_POINTER;
    m_rcPos = *lprcPosRect;
    if (m_hWnd)
        ::MoveWindow(m_hWnd, m_rcPos.left, m_rcPos.top, m_rcPos.right - m_rcPos.left,
                     m_rcPos.bottom - m_rcPos.top, TRUE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::ReactivateAndUndo() {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE COleControl::OnFrameWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::OnDocWindowActivate(BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::EnableModeless(BOOL) {
    return S_OK;
}
