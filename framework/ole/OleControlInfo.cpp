// What containers ask of a control beside its behaviour: class information,
// property pages, scripting safety and (empty) connection points.
#include "OleControl.h"
#include "OleControlModule.h"

#include <new>

namespace {

class CEmptyConnectionPoints : public IEnumConnectionPoints {
public:
    CEmptyConnectionPoints() { AfxOleLockApp(); }
    virtual ~CEmptyConnectionPoints() { AfxOleUnlockApp(); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumConnectionPoints)) {
            *ppv = static_cast<IEnumConnectionPoints*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = ::InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG, IConnectionPoint**, ULONG* pFetched) override {
        if (pFetched)
            *pFetched = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG n) override { return n == 0 ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) override {
        return Create(ppEnum);
    }

    static HRESULT Create(IEnumConnectionPoints** ppEnum) {
        if (!ppEnum)
            return E_POINTER;
        *ppEnum = new (std::nothrow) CEmptyConnectionPoints;
        if (!*ppEnum)
            return E_OUTOFMEMORY;
        (*ppEnum)->AddRef();
        return S_OK;
    }

private:
    LONG m_refs = 0;
};

} // namespace

// IProvideClassInfo2

HRESULT STDMETHODCALLTYPE COleControl::GetClassInfo(ITypeInfo** ppTI) {
    if (!ppTI)
        return E_POINTER;
    *ppTI = nullptr;
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    CLSID clsid;
    hr = static_cast<IPersistStreamInit*>(this)->GetClassID(&clsid);
    if (FAILED(hr))
        return hr;
    return m_pTypeLib->GetTypeInfoOfGuid(clsid, ppTI);
}

HRESULT STDMETHODCALLTYPE COleControl::GetGUID(DWORD dwGuidKind, GUID* pGUID) {
    if (!pGUID)
        return E_POINTER;
    if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID || !m_piidEvents) {
        *pGUID = GUID_NULL;
        return E_INVALIDARG;
    }
    *pGUID = *m_piidEvents;
    return S_OK;
}

// ISpecifyPropertyPages

HRESULT STDMETHODCALLTYPE COleControl::GetPages(CAUUID* pPages) {
    if (!pPages)
        return E_POINTER;
    ULONG count = 0;
    const CLSID* pages = GetPropPageIDs(count);
    pPages->cElems = 0;
    pPages->pElems = nullptr;
    if (count == 0)
        return S_OK;
    pPages->pElems = static_cast<GUID*>(::CoTaskMemAlloc(count * sizeof(GUID)));
    if (!pPages->pElems)
        return E_OUTOFMEMORY;
    for (ULONG i = 0; i < count; ++i)
        pPages->pElems[i] = pages[i];
    pPages->cElems = count;
    return S_OK;
}

// IObjectSafety: what the safe-for-scripting and safe-for-initialising
// categories say, for a host that asks the object instead of the registry.

bool COleControl::IsSafetyInterface(REFIID riid) const {
    return IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IPersistStreamInit) ||
           IsEqualIID(riid, IID_IPersistPropertyBag) ||
           (m_piidPrimary && IsEqualIID(riid, *m_piidPrimary));
}

bool COleControl::IsSafeForUntrustedCaller() const {
    return m_bUntrustedCallerAsked;
}

HRESULT STDMETHODCALLTYPE COleControl::GetInterfaceSafetyOptions(REFIID riid,
                                                                 DWORD* pdwSupportedOptions,
                                                                 DWORD* pdwEnabledOptions) {
    if (!pdwSupportedOptions || !pdwEnabledOptions)
        return E_POINTER;
    *pdwSupportedOptions = 0;
    *pdwEnabledOptions = 0;
    if (!IsSafetyInterface(riid))
        return E_NOINTERFACE;
    *pdwSupportedOptions = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *pdwEnabledOptions = m_safetyOptions;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                                 DWORD dwEnabledOptions) {
    if (!IsSafetyInterface(riid))
        return E_NOINTERFACE;
    const DWORD supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    if (dwOptionSetMask & ~supported)
        return E_FAIL;
    m_safetyOptions = (m_safetyOptions & ~dwOptionSetMask) | (dwEnabledOptions & dwOptionSetMask);
    // Once a host has asked, a later call for another interface does not
    // make its callers trusted again.
    if (dwEnabledOptions & dwOptionSetMask & INTERFACESAFE_FOR_UNTRUSTED_CALLER)
        m_bUntrustedCallerAsked = true;
    return S_OK;
}

// IConnectionPointContainer

HRESULT STDMETHODCALLTYPE COleControl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    return CEmptyConnectionPoints::Create(ppEnum);
}

HRESULT STDMETHODCALLTYPE COleControl::FindConnectionPoint(REFIID, IConnectionPoint** ppCP) {
    if (!ppCP)
        return E_POINTER;
    *ppCP = nullptr;
    return CONNECT_E_NOCONNECTION;
}
