#include "OleControl.h"
#include "OleControlModule.h"
#include "OleRegistry.h"
#include "PropExchange.h"

#include <new>
#include <string>
#include <vector>

namespace {

template <typename T> void SafeRelease(T*& p) {
    if (p) {
        T* old = p;
        p = nullptr;
        old->Release();
    }
}

LPOLESTR CoTaskStrDup(const std::wstring& text) {
    size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPOLESTR>(::CoTaskMemAlloc(bytes));
    if (copy)
        memcpy(copy, text.c_str(), bytes);
    return copy;
}

// 100 x 50 pixels at 96 dots per inch, in HIMETRIC.
const SIZEL kDefaultExtent = {2646, 1323};

// Argument as ANSI text; a zero byte inside ends it, as for any C string.
HRESULT ArgumentText(VARIANT* arg, std::string& out) {
    VARIANT text;
    ::VariantInit(&text);
    HRESULT hr = ::VariantChangeType(&text, arg, 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    out.clear();
    int wide = static_cast<int>(::SysStringLen(text.bstrVal));
    if (wide > 0) {
        int n = ::WideCharToMultiByte(CP_ACP, 0, text.bstrVal, wide, nullptr, 0, nullptr, nullptr);
        out.resize(static_cast<size_t>(n));
        ::WideCharToMultiByte(CP_ACP, 0, text.bstrVal, wide, &out[0], n, nullptr, nullptr);
        out.resize(strlen(out.c_str()));
    }
    ::VariantClear(&text);
    return S_OK;
}

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

COleControl::COleControl() : m_sizeExtent(kDefaultExtent) {
    AfxOleLockApp();
}

COleControl::~COleControl() {
    DestroyControlWindow();
    SafeRelease(m_pInPlaceFrame);
    SafeRelease(m_pInPlaceDoc);
    SafeRelease(m_pInPlaceSite);
    SafeRelease(m_pViewAdviseSink);
    SafeRelease(m_pOleAdviseHolder);
    SafeRelease(m_pClientSite);
    SafeRelease(m_pDispInfo);
    SafeRelease(m_pTypeLib);
    AfxOleUnlockApp();
}

void COleControl::InitializeIIDs(const IID* piidPrimary, const IID* piidEvents) {
    m_piidPrimary = piidPrimary;
    m_piidEvents = piidEvents;
}

HWND COleControl::GetOwnerWindow() const {
    if (m_hWnd)
        return m_hWnd;
    HWND hWnd = nullptr;
    IOleInPlaceSite* site = nullptr;
    if (m_pClientSite && SUCCEEDED(m_pClientSite->QueryInterface(
                             IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)))) {
        site->GetWindow(&hWnd);
        site->Release();
    }
    return hWnd;
}

void COleControl::InvalidateControl() {
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
    SendViewChange();
}

void COleControl::OnProperties() {
    ULONG count = 0;
    const CLSID* pages = GetPropPageIDs(count);
    if (count == 0)
        return;
    std::wstring caption = AfxLoadStringW(AfxGetInstanceHandle(), GetUserTypeNameID());
    IUnknown* self = static_cast<IOleObject*>(this);
    ::OleCreatePropertyFrame(GetOwnerWindow(), 0, 0, caption.c_str(), 1, &self, count,
                             const_cast<CLSID*>(pages), ::GetUserDefaultLCID(), 0, nullptr);
}

const CMessageEntry* COleControl::GetMessageMap(UINT& count) const {
    count = 0;
    return nullptr;
}

void COleControl::DoPropExchange(CPropExchange* pPX) {
    long cx = m_sizeExtent.cx;
    long cy = m_sizeExtent.cy;
    PX_Long(pPX, L"_ExtentX", cx, kDefaultExtent.cx);
    PX_Long(pPX, L"_ExtentY", cy, kDefaultExtent.cy);
    if (pPX->IsLoading() && SUCCEEDED(pPX->Result()) && cx > 0 && cy > 0) {
        m_sizeExtent.cx = cx;
        m_sizeExtent.cy = cy;
    }
}

void COleControl::OnResetState() {
    m_sizeExtent = kDefaultExtent;
    m_bDirty = false;
}

const CLSID* COleControl::GetPropPageIDs(ULONG& count) const {
    count = 0;
    return nullptr;
}

int COleControl::OnCreate(CREATESTRUCTW*) {
    return 0;
}

// IUnknown

HRESULT STDMETHODCALLTYPE COleControl::QueryInterface(REFIID riid, void** ppv) {
    struct Row {
        const IID* iid;
        IUnknown* (*get)(COleControl* self);
    };
    static const Row kInterfaces[] = {
        {&IID_IUnknown, [](COleControl* c) -> IUnknown* { return static_cast<IOleObject*>(c); }},
        {&IID_IDispatch, [](COleControl* c) -> IUnknown* { return static_cast<IDispatch*>(c); }},
        {&IID_IOleObject, [](COleControl* c) -> IUnknown* { return static_cast<IOleObject*>(c); }},
        {&IID_IOleWindow,
         [](COleControl* c) -> IUnknown* { return static_cast<IOleInPlaceObject*>(c); }},
        {&IID_IOleInPlaceObject,
         [](COleControl* c) -> IUnknown* { return static_cast<IOleInPlaceObject*>(c); }},
        {&IID_IOleInPlaceActiveObject,
         [](COleControl* c) -> IUnknown* { return static_cast<IOleInPlaceActiveObject*>(c); }},
        {&IID_IOleControl,
         [](COleControl* c) -> IUnknown* { return static_cast<IOleControl*>(c); }},
        {&IID_IViewObject,
         [](COleControl* c) -> IUnknown* { return static_cast<IViewObject2*>(c); }},
        {&IID_IViewObject2,
         [](COleControl* c) -> IUnknown* { return static_cast<IViewObject2*>(c); }},
        {&IID_IPersist,
         [](COleControl* c) -> IUnknown* { return static_cast<IPersistStreamInit*>(c); }},
        {&IID_IPersistStreamInit,
         [](COleControl* c) -> IUnknown* { return static_cast<IPersistStreamInit*>(c); }},
        {&IID_IPersistPropertyBag,
         [](COleControl* c) -> IUnknown* { return static_cast<IPersistPropertyBag*>(c); }},
        {&IID_IProvideClassInfo,
         [](COleControl* c) -> IUnknown* { return static_cast<IProvideClassInfo2*>(c); }},
        {&IID_IProvideClassInfo2,
         [](COleControl* c) -> IUnknown* { return static_cast<IProvideClassInfo2*>(c); }},
        {&IID_ISpecifyPropertyPages,
         [](COleControl* c) -> IUnknown* { return static_cast<ISpecifyPropertyPages*>(c); }},
        {&IID_IObjectSafety,
         [](COleControl* c) -> IUnknown* { return static_cast<IObjectSafety*>(c); }},
        {&IID_IConnectionPointContainer,
         [](COleControl* c) -> IUnknown* { return static_cast<IConnectionPointContainer*>(c); }},
    };
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IUnknown* found = nullptr;
    if (m_piidPrimary && IsEqualIID(riid, *m_piidPrimary))
        found = static_cast<IDispatch*>(this);
    for (const Row& row : kInterfaces) {
        if (!found && IsEqualIID(riid, *row.iid))
            found = row.get(this);
    }
    if (!found)
        return E_NOINTERFACE;
    found->AddRef();
    *ppv = found;
    return S_OK;
}

ULONG STDMETHODCALLTYPE COleControl::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE COleControl::Release() {
    LONG n = ::InterlockedDecrement(&m_refs);
    if (n == 0)
        delete this;
    return static_cast<ULONG>(n);
}

// IDispatch

HRESULT COleControl::LoadTypeInfo() {
    if (m_pDispInfo)
        return S_OK;
    if (!m_piidPrimary)
        return E_UNEXPECTED;
    if (!m_pTypeLib) {
        // Used before registration (a container that loads the module
        // itself): the library in the module's resources is the same one.
        if (FAILED(GetTypeLib(LOCALE_SYSTEM_DEFAULT, &m_pTypeLib))) {
            HRESULT hr = AfxLoadModuleTypeLib(AfxGetInstanceHandle(), &m_pTypeLib);
            if (FAILED(hr))
                return hr;
        }
    }
    return m_pTypeLib->GetTypeInfoOfGuid(*m_piidPrimary, &m_pDispInfo);
}

HRESULT STDMETHODCALLTYPE COleControl::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
    if (!ppTInfo)
        return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0)
        return DISP_E_BADINDEX;
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    m_pDispInfo->AddRef();
    *ppTInfo = m_pDispInfo;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                     LCID, DISPID* rgDispId) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    if (!rgszNames || !rgDispId)
        return E_POINTER;
    HRESULT hr = LoadTypeInfo();
    if (FAILED(hr))
        return hr;
    return m_pDispInfo->GetIDsOfNames(rgszNames, cNames, rgDispId);
}

HRESULT STDMETHODCALLTYPE COleControl::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags,
                                              DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                              EXCEPINFO*, UINT* puArgErr) {
    if (!IsEqualIID(riid, IID_NULL))
        return DISP_E_UNKNOWNINTERFACE;
    UINT count = 0;
    const CDispatchEntry* table = GetDispatchTable(count);
    const CDispatchEntry* entry = nullptr;
    for (UINT i = 0; i < count && !entry; ++i) {
        if (table[i].dispid == dispIdMember)
            entry = &table[i];
    }
    // Script engines call a method as a method, a property get or both.
    if (!entry || !(wFlags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (!pDispParams)
        pDispParams = &none;
    if (pDispParams->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (pDispParams->cArgs != entry->params)
        return DISP_E_BADPARAMCOUNT;

    try {
        // DISPPARAMS holds the arguments last to first.
        std::vector<std::string> texts(entry->params);
        std::vector<const char*> args(entry->params);
        for (UINT i = 0; i < entry->params; ++i) {
            UINT slot = entry->params - 1 - i;
            if (FAILED(ArgumentText(&pDispParams->rgvarg[slot], texts[i]))) {
                if (puArgErr)
                    *puArgErr = slot;
                return DISP_E_TYPEMISMATCH;
            }
        }
        for (UINT i = 0; i < entry->params; ++i)
            args[i] = texts[i].c_str();
        long result = entry->call(*this, args.empty() ? nullptr : args.data());
        if (pVarResult) {
            ::VariantInit(pVarResult);
            if (entry->hasResult) {
                pVarResult->vt = VT_I4;
                pVarResult->lVal = result;
            }
        }
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// IOleObject

HRESULT STDMETHODCALLTYPE COleControl::SetClientSite(IOleClientSite* pClientSite) {
    if (pClientSite)
        pClientSite->AddRef();
    SafeRelease(m_pClientSite);
    m_pClientSite = pClientSite;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetClientSite(IOleClientSite** ppClientSite) {
    if (!ppClientSite)
        return E_POINTER;
    *ppClientSite = m_pClientSite;
    if (m_pClientSite)
        m_pClientSite->AddRef();
    return S_OK;
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
    *pszUserType = CoTaskStrDup(AfxLoadStringW(AfxGetInstanceHandle(), GetUserTypeNameID()));
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

HRESULT STDMETHODCALLTYPE COleControl::Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) {
    if (!m_pOleAdviseHolder) {
        HRESULT hr = ::CreateOleAdviseHolder(&m_pOleAdviseHolder);
        if (FAILED(hr))
            return hr;
    }
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
    if (!m_pOleAdviseHolder)
        return S_OK;
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

// In-place activation

HRESULT COleControl::InPlaceActivate(LONG) {
    if (m_pInPlaceSite) {
        if (m_hWnd)
            ::ShowWindow(m_hWnd, SW_SHOW);
        return S_OK;
    }
    if (!m_pClientSite)
        return E_UNEXPECTED;
    IOleInPlaceSite* site = nullptr;
    HRESULT hr =
        m_pClientSite->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site));
    if (FAILED(hr))
        return hr;
    if (site->CanInPlaceActivate() != S_OK) {
        site->Release();
        return E_FAIL;
    }
    hr = site->OnInPlaceActivate();
    if (FAILED(hr)) {
        site->Release();
        return hr;
    }
    m_pInPlaceSite = site;

    HWND parent = nullptr;
    RECT rcPos = {};
    RECT rcClip = {};
    OLEINPLACEFRAMEINFO frameInfo = {};
    frameInfo.cb = sizeof(frameInfo);
    site->GetWindow(&parent);
    site->GetWindowContext(&m_pInPlaceFrame, &m_pInPlaceDoc, &rcPos, &rcClip, &frameInfo);
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
    IOleInPlaceSite* site = m_pInPlaceSite;
    m_pInPlaceSite = nullptr;
    SafeRelease(m_pInPlaceFrame);
    SafeRelease(m_pInPlaceDoc);
    site->OnInPlaceDeactivate();
    site->Release();
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

// IViewObject2

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
    if (pAdvSink)
        pAdvSink->AddRef();
    SafeRelease(m_pViewAdviseSink);
    m_pViewAdviseSink = pAdvSink;
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
    if (ppAdvSink) {
        *ppAdvSink = m_pViewAdviseSink;
        if (m_pViewAdviseSink)
            m_pViewAdviseSink->AddRef();
    }
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

// IPersistStreamInit, IPersistPropertyBag

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
    IStream* stream = nullptr;
    HRESULT hr = ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr))
        return hr;
    CStreamPropExchange px(stream, false);
    DoPropExchange(&px);
    hr = px.Result();
    if (SUCCEEDED(hr)) {
        STATSTG stat = {};
        hr = stream->Stat(&stat, STATFLAG_NONAME);
        if (SUCCEEDED(hr))
            *pCbSize = stat.cbSize;
    }
    stream->Release();
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
