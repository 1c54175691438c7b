// IOleObject and IOleControl: siting, verbs, extent, advise and misc status.
#include "OleControl.h"
#include "OleControlModule.h"
#include "OleRegistry.h"

HRESULT STDMETHODCALLTYPE COleControl::SetClientSite(IOleClientSite* pClientSite) {
    m_pClientSite.reset(pClientSite);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetClientSite(IOleClientSite** ppClientSite) {
    return m_pClientSite.copy_to(ppClientSite);
}

HRESULT STDMETHODCALLTYPE COleControl::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::Close(DWORD dwSaveOption) {
    InPlaceDeactivate();
    if (m_bDirty && m_pClientSite &&
        (dwSaveOption == OLECLOSE_SAVEIFDIRTY || dwSaveOption == OLECLOSE_PROMPTSAVE))
        m_pClientSite->SaveObject();
    if (m_pOleAdviseHolder)
        m_pOleAdviseHolder->SendOnClose();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    if (ppDataObject)
        *ppDataObject = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::DoVerb(LONG iVerb, LPMSG, IOleClientSite* pActiveSite, LONG,
                                              HWND, LPCRECT) {
    if (!m_pClientSite && pActiveSite)
        SetClientSite(pActiveSite);
    switch (iVerb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
        return InPlaceActivate(iVerb);
    case OLEIVERB_UIACTIVATE:
        return UIActivate();
    case OLEIVERB_HIDE:
        UIDeactivate();
        if (m_hWnd)
            ::ShowWindow(m_hWnd, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES:
        OnProperties();
        return S_OK;
    default:
        return iVerb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
    }
}

HRESULT STDMETHODCALLTYPE COleControl::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    CLSID clsid;
    HRESULT hr = static_cast<IPersistStreamInit*>(this)->GetClassID(&clsid);
    if (FAILED(hr))
        return hr;
    return ::OleRegEnumVerbs(clsid, ppEnumOleVerb);
}

HRESULT STDMETHODCALLTYPE COleControl::Update() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::IsUpToDate() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetUserClassID(CLSID* pClsid) {
    if (!pClsid)
        return E_POINTER;
    return static_cast<IPersistStreamInit*>(this)->GetClassID(pClsid);
}

HRESULT STDMETHODCALLTYPE COleControl::GetUserType(DWORD, LPOLESTR* pszUserType) {
    if (!pszUserType)
        return E_POINTER;
    *pszUserType = AfxCoTaskStrDup(AfxLoadStringW(AfxGetInstanceHandle(), GetUserTypeNameID()));
    return *pszUserType ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE COleControl::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!psizel)
        return E_POINTER;
    if (psizel->cx <= 0 || psizel->cy <= 0)
        return E_INVALIDARG;
    if (psizel->cx != m_sizeExtent.cx || psizel->cy != m_sizeExtent.cy) {
        m_sizeExtent = *psizel;
        m_bDirty = true;
        SendViewChange();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!psizel)
        return E_POINTER;
    *psizel = m_sizeExtent;
    return S_OK;
}

HRESULT COleControl::EnsureAdviseHolder() {
    if (m_pOleAdviseHolder)
        return S_OK;
    return ::CreateOleAdviseHolder(m_pOleAdviseHolder.put());
}

HRESULT STDMETHODCALLTYPE COleControl::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
    HRESULT hr = EnsureAdviseHolder();
    if (FAILED(hr))
        return hr;
    return m_pOleAdviseHolder->Advise(pAdvSink, pdwConnection);
}

HRESULT STDMETHODCALLTYPE COleControl::Unadvise(DWORD dwConnection) {
    if (!m_pOleAdviseHolder)
        return OLE_E_NOCONNECTION;
    return m_pOleAdviseHolder->Unadvise(dwConnection);
}

HRESULT STDMETHODCALLTYPE COleControl::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (!ppenumAdvise)
        return E_POINTER;
    *ppenumAdvise = nullptr;
    // Success promises an enumerator, an empty one before any Advise.
    HRESULT hr = EnsureAdviseHolder();
    if (FAILED(hr))
        return hr;
    return m_pOleAdviseHolder->EnumAdvise(ppenumAdvise);
}

HRESULT STDMETHODCALLTYPE COleControl::GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) {
    if (!pdwStatus)
        return E_POINTER;
    // The registry gives the same: status for the content aspect, 0 for others.
    *pdwStatus = dwAspect == DVASPECT_CONTENT ? GetMiscStatus() : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// IOleControl

HRESULT STDMETHODCALLTYPE COleControl::GetControlInfo(CONTROLINFO* pCI) {
    if (!pCI)
        return E_POINTER;
    // No mnemonics.
    pCI->hAccel = nullptr;
    pCI->cAccel = 0;
    pCI->dwFlags = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE COleControl::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::FreezeEvents(BOOL) {
    return S_OK;
}
