// IPersistStreamInit and IPersistPropertyBag: the control's properties go
// through its DoPropExchange either way (GetClassID is the control's).
#include "OleControl.h"
#include "PropExchange.h"

HRESULT STDMETHODCALLTYPE COleControl::IsDirty() {
    return m_bDirty ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE COleControl::Load(LPSTREAM pStm) {
    if (!pStm)
        return E_POINTER;
    CStreamPropExchange px(pStm, true);
    DoPropExchange(&px);
    if (SUCCEEDED(px.Result()))
        m_bDirty = false;
    return px.Result();
}

HRESULT STDMETHODCALLTYPE COleControl::Save(LPSTREAM pStm, BOOL fClearDirty) {
    if (!pStm)
        return E_POINTER;
    CStreamPropExchange px(pStm, false);
    DoPropExchange(&px);
    if (SUCCEEDED(px.Result()) && fClearDirty)
        m_bDirty = false;
    return px.Result();
}

HRESULT STDMETHODCALLTYPE COleControl::GetSizeMax(ULARGE_INTEGER* pCbSize) {
    if (!pCbSize)
        return E_POINTER;
    com_ptr<IStream> stream;
    HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put());
    if (FAILED(hr))
        return hr;
    CStreamPropExchange px(stream.get(), false);
    DoPropExchange(&px);
    hr = px.Result();
    if (FAILED(hr))
        return hr;
    STATSTG stat = {};
    hr = stream->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr))
        *pCbSize = stat.cbSize;
    return hr;
}

HRESULT STDMETHODCALLTYPE COleControl::InitNew() {
    OnResetState();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::Load(IPropertyBag* pPropBag, IErrorLog* pErrorLog) {
    if (!pPropBag)
        return E_POINTER;
    CBagPropExchange px(pPropBag, pErrorLog, true);
    DoPropExchange(&px);
    if (SUCCEEDED(px.Result()))
        m_bDirty = false;
    return px.Result();
}

HRESULT STDMETHODCALLTYPE COleControl::Save(IPropertyBag* pPropBag, BOOL fClearDirty, BOOL) {
    if (!pPropBag)
        return E_POINTER;
    CBagPropExchange px(pPropBag, nullptr, false);
    DoPropExchange(&px);
    if (SUCCEEDED(px.Result()) && fClearDirty)
        m_bDirty = false;
    return px.Result();
}
