// Lifetime, QueryInterface and the operations the interface groups share.
#include "OleControl.h"
#include "OleControlModule.h"
#include "OleRegistry.h"
#include "PropExchange.h"

#include <cstddef>
#include <string>

namespace {

// 100 x 50 pixels at 96 dots per inch, in HIMETRIC.
const SIZEL kDefaultExtent = {2646, 1323};

// One row of the interface table: the interface and where its vtable lies in
// the object, as the classic samples' QITAB has it.
struct CInterfaceEntry {
    const IID* iid;
    std::ptrdiff_t offset;
};

template <typename Base> std::ptrdiff_t OffsetOf() {
    // Any non-null address will do: only the difference is kept.
    auto* object = reinterpret_cast<COleControl*>(alignof(COleControl) * 16);
    return reinterpret_cast<const char*>(static_cast<Base*>(object)) -
           reinterpret_cast<const char*>(object);
}

} // namespace

COleControl::COleControl() : m_sizeExtent(kDefaultExtent) {
    AfxOleLockApp();
}

COleControl::~COleControl() {
    DestroyControlWindow();
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
    com_ptr<IOleInPlaceSite> site;
    if (m_pClientSite.As(&site) == S_OK)
        site->GetWindow(&hWnd);
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

// IUnknown

HRESULT STDMETHODCALLTYPE COleControl::QueryInterface(REFIID riid, void** ppv) {
    static const CInterfaceEntry kInterfaces[] = {
        {&IID_IUnknown, OffsetOf<IOleObject>()},
        {&IID_IDispatch, OffsetOf<IDispatch>()},
        {&IID_IOleObject, OffsetOf<IOleObject>()},
        {&IID_IOleWindow, OffsetOf<IOleInPlaceObject>()},
        {&IID_IOleInPlaceObject, OffsetOf<IOleInPlaceObject>()},
        {&IID_IOleInPlaceActiveObject, OffsetOf<IOleInPlaceActiveObject>()},
        {&IID_IOleControl, OffsetOf<IOleControl>()},
        {&IID_IViewObject, OffsetOf<IViewObject2>()},
        {&IID_IViewObject2, OffsetOf<IViewObject2>()},
        {&IID_IPersist, OffsetOf<IPersistStreamInit>()},
        {&IID_IPersistStreamInit, OffsetOf<IPersistStreamInit>()},
        {&IID_IPersistPropertyBag, OffsetOf<IPersistPropertyBag>()},
        {&IID_IProvideClassInfo, OffsetOf<IProvideClassInfo2>()},
        {&IID_IProvideClassInfo2, OffsetOf<IProvideClassInfo2>()},
        {&IID_ISpecifyPropertyPages, OffsetOf<ISpecifyPropertyPages>()},
        {&IID_IObjectSafety, OffsetOf<IObjectSafety>()},
        {&IID_IObjectWithSite, OffsetOf<IObjectWithSite>()},
        {&IID_IConnectionPointContainer, OffsetOf<IConnectionPointContainer>()},
    };
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // The dispinterface is known only at run time; it is answered as IDispatch.
    if (m_piidPrimary && IsEqualIID(riid, *m_piidPrimary)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    for (const CInterfaceEntry& entry : kInterfaces) {
        if (!IsEqualIID(riid, *entry.iid))
            continue;
        auto* found = reinterpret_cast<IUnknown*>(reinterpret_cast<char*>(this) + entry.offset);
        found->AddRef();
        *ppv = found;
        return S_OK;
    }
    return E_NOINTERFACE;
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
