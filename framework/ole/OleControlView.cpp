// IViewObject2: drawing into the container's device context, and the view
// advise sink told when the picture changes.
#include "OleControl.h"

HRESULT STDMETHODCALLTYPE COleControl::Draw(DWORD dwDrawAspect, LONG, void*, DVTARGETDEVICE*, HDC,
                                            HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL,
                                            BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!hdcDraw)
        return E_INVALIDARG;
    RECT rc;
    if (lprcBounds) {
        rc = {lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom};
    } else if (m_hWnd) {
        ::GetClientRect(m_hWnd, &rc);
    } else {
        return E_INVALIDARG;
    }
    OnDraw(hdcDraw, rc, rc);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                                   LOGPALETTE** ppColorSet) {
    if (ppColorSet)
        *ppColorSet = nullptr;
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE COleControl::Freeze(DWORD, LONG, void*, DWORD*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) {
    m_pViewAdviseSink.reset(pAdvSink);
    m_viewAdviseAspects = aspects;
    m_viewAdviseFlags = advf;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetAdvise(DWORD* pAspects, DWORD* pAdvf,
                                                 IAdviseSink** ppAdvSink) {
    if (pAspects)
        *pAspects = m_viewAdviseAspects;
    if (pAdvf)
        *pAdvf = m_viewAdviseFlags;
    if (ppAdvSink)
        m_pViewAdviseSink.copy_to(ppAdvSink);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*,
                                                 LPSIZEL lpsizel) {
    return GetExtent(dwDrawAspect, lpsizel);
}

void COleControl::SendViewChange() {
    if (m_pViewAdviseSink && (m_viewAdviseAspects & DVASPECT_CONTENT))
        m_pViewAdviseSink->OnViewChange(DVASPECT_CONTENT, -1);
}
