#include "TavWebOmbletCtrl.h"
#include "OleControlModule.h"
#include "OleRegistry.h"
#include "PropExchange.h"
#include "Resource.h"
#include "TavWebOmblet.h"
#include "TavWebOmbletPropPage.h"
#include "TavWebOmblet_h.h"

static_assert(kTavWebOmbletMiscStatus ==
                  (OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                   OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE),
              "misc status bits");

namespace {

const DWORD kControlVersion = MAKELONG(0, 1); // 1.0

CTavWebOmbletCtrl& Self(COleControl& control) {
    return static_cast<CTavWebOmbletCtrl&>(control);
}

// DISPIDs 1 to 8 in this order, then the About box.
const CDispatchEntry kDispatch[] = {
    {1, L"TavOBInstalled", 0, true,
     [](COleControl& c, const char* const*) { return Self(c).TavOBInstalled(); }},
    {2, L"TavOmbletInstall", 0, false,
     [](COleControl& c, const char* const*) {
         Self(c).TavOmbletInstall();
         return 0L;
     }},
    {3, L"TavStartOmblet", 3, false,
     [](COleControl& c, const char* const* a) {
         Self(c).TavStartOmblet(a[0], a[1], a[2]);
         return 0L;
     }},
    {4, L"TavStopOmblet", 0, false,
     [](COleControl& c, const char* const*) {
         Self(c).TavStopOmblet();
         return 0L;
     }},
    {5, L"TavOpenMeetingWindow", 3, true,
     [](COleControl& c, const char* const* a) {
         return Self(c).TavOpenMeetingWindow(a[0], a[1], a[2]);
     }},
    {6, L"TavOpenP2PCall", 5, true,
     [](COleControl& c, const char* const* a) {
         return Self(c).TavOpenP2PCall(a[0], a[1], a[2], a[3], a[4]);
     }},
    {7, L"TavOpenMeetingRoom", 4, true,
     [](COleControl& c, const char* const* a) {
         return Self(c).TavOpenMeetingRoom(a[0], a[1], a[2], a[3]);
     }},
    {8, L"TavIntoMeetingRoom", 4, false,
     [](COleControl& c, const char* const* a) {
         Self(c).TavIntoMeetingRoom(a[0], a[1], a[2], a[3]);
         return 0L;
     }},
    {DISPID_ABOUTBOX, L"AboutBox", 0, false,
     [](COleControl& c, const char* const*) {
         Self(c).AboutBox();
         return 0L;
     }},
};

INT_PTR CALLBACK AboutProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

CTavWebOmbletCtrl::CTavWebOmbletCtrl() {
    InitializeIIDs(&DIID__DTavWebOmblet, &DIID__DTavWebOmbletEvents);
}

BOOL CTavWebOmbletCtrl::UpdateRegistry(const COleObjectFactory& factory, BOOL bRegister) {
    if (!bRegister)
        return AfxOleUnregisterClass(factory.ClassID(), factory.ProgID());
    return AfxOleRegisterControlClass(AfxGetInstanceHandle(), factory.ClassID(), factory.ProgID(),
                                      IDS_TAVWEBOMBLET, IDB_TAVWEBOMBLET, afxRegApartmentThreading,
                                      kTavWebOmbletMiscStatus, kTypeLibID, kVerMajor, kVerMinor);
}

void CTavWebOmbletCtrl::AboutBox() {
    ::DialogBoxParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDD_ABOUTBOX_TAVWEBOMBLET),
                      GetOwnerWindow(), AboutProc, 0);
}

HRESULT STDMETHODCALLTYPE CTavWebOmbletCtrl::GetClassID(CLSID* pClsid) {
    if (!pClsid)
        return E_POINTER;
    *pClsid = CLSID_TavWebOmblet;
    return S_OK;
}

const CDispatchEntry* CTavWebOmbletCtrl::GetDispatchTable(UINT& count) const {
    count = static_cast<UINT>(sizeof(kDispatch) / sizeof(kDispatch[0]));
    return kDispatch;
}

HRESULT CTavWebOmbletCtrl::GetTypeLib(LCID lcid, ITypeLib** ppTypeLib) {
    return ::LoadRegTypeLib(kTypeLibID, kVerMajor, kVerMinor, lcid, ppTypeLib);
}

void CTavWebOmbletCtrl::DoPropExchange(CPropExchange* pPX) {
    DWORD version = kControlVersion;
    // Older data loads as it is: there are no properties of our own to convert.
    PX_Version(pPX, version, kControlVersion, true);
    COleControl::DoPropExchange(pPX);
}

void CTavWebOmbletCtrl::OnResetState() {
    COleControl::OnResetState();
}

void CTavWebOmbletCtrl::OnDraw(HDC hdc, const RECT& rcBounds, const RECT&) {
    ::FillRect(hdc, &rcBounds, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::Ellipse(hdc, rcBounds.left, rcBounds.top, rcBounds.right, rcBounds.bottom);
}

const CLSID* CTavWebOmbletCtrl::GetPropPageIDs(ULONG& count) const {
    count = 1;
    return &CLSID_TavWebOmbletPropPage;
}

UINT CTavWebOmbletCtrl::GetUserTypeNameID() const {
    return IDS_TAVWEBOMBLET;
}

DWORD CTavWebOmbletCtrl::GetMiscStatus() const {
    return kTavWebOmbletMiscStatus;
}
