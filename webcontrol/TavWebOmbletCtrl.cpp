#include "TavWebOmbletCtrl.h"
#include "AllowedSites.h"
#include "LogFile.h"
#include "OleControlModule.h"
#include "OleRegistry.h"
#include "PropExchange.h"
#include "Resource.h"
#include "TavWebOmblet.h"
#include "TavWebOmbletPropPage.h"
#include "TavWebOmblet_h.h"
#include "TextRules.h"
#include "Widen.h"

static_assert(kTavWebOmbletMiscStatus ==
                  (OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                   OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE),
              "misc status bits");

namespace {

const DWORD kControlVersion = MAKELONG(0, 1); // 1.0

using Method = long (*)(CTavWebOmbletCtrl& control, const char* const* args);

template <Method method> long Call(COleControl& control, const char* const* args) {
    return method(static_cast<CTavWebOmbletCtrl&>(control), args);
}

long OBInstalled(CTavWebOmbletCtrl& c, const char* const*) {
    return c.TavOBInstalled();
}
long OmbletInstall(CTavWebOmbletCtrl& c, const char* const*) {
    c.TavOmbletInstall();
    return 0;
}
long StartOmblet(CTavWebOmbletCtrl& c, const char* const* a) {
    c.TavStartOmblet(a[0], a[1], a[2]);
    return 0;
}
long StopOmblet(CTavWebOmbletCtrl& c, const char* const*) {
    c.TavStopOmblet();
    return 0;
}
long OpenMeetingWindow(CTavWebOmbletCtrl& c, const char* const* a) {
    return c.TavOpenMeetingWindow(a[0], a[1], a[2]);
}
long OpenP2PCall(CTavWebOmbletCtrl& c, const char* const* a) {
    return c.TavOpenP2PCall(a[0], a[1], a[2], a[3], a[4]);
}
long OpenMeetingRoom(CTavWebOmbletCtrl& c, const char* const* a) {
    return c.TavOpenMeetingRoom(a[0], a[1], a[2], a[3]);
}
long IntoMeetingRoom(CTavWebOmbletCtrl& c, const char* const* a) {
    c.TavIntoMeetingRoom(a[0], a[1], a[2], a[3]);
    return 0;
}
long ShowAboutBox(CTavWebOmbletCtrl& c, const char* const*) {
    c.AboutBox();
    return 0;
}

// DISPIDs 1 to 8 in this order, then the About box.
const CDispatchEntry kDispatch[] = {
    {1, L"TavOBInstalled", 0, true, Call<OBInstalled>},
    {2, L"TavOmbletInstall", 0, false, Call<OmbletInstall>},
    {3, L"TavStartOmblet", 3, false, Call<StartOmblet>},
    {4, L"TavStopOmblet", 0, false, Call<StopOmblet>},
    {5, L"TavOpenMeetingWindow", 3, true, Call<OpenMeetingWindow>},
    {6, L"TavOpenP2PCall", 5, true, Call<OpenP2PCall>},
    {7, L"TavOpenMeetingRoom", 4, true, Call<OpenMeetingRoom>},
    {8, L"TavIntoMeetingRoom", 4, false, Call<IntoMeetingRoom>},
    {DISPID_ABOUTBOX, L"AboutBox", 0, false, Call<ShowAboutBox>},
};

// Every method that takes the login takes it first: ID, name, password.
const UINT kPasswordArgument = 2;

// The call as the page made it, the password masked: Name("a", "b", "***").
std::string CallText(const CDispatchEntry& entry, const char* const* args) {
    std::string text = NarrowAnsi(entry.name) + "(";
    for (UINT i = 0; i < entry.params; ++i) {
        text += i ? ", \"" : "\"";
        text += i == kPasswordArgument ? "***" : args[i];
        text += "\"";
    }
    return text + ")";
}

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

HRESULT CTavWebOmbletCtrl::UpdateRegistry(const COleObjectFactory& factory, BOOL bRegister) {
    if (!bRegister)
        return AfxOleUnregisterClass(factory.ClassID(), factory.ProgID());
    return AfxOleRegisterControlClass(AfxGetInstanceHandle(), factory.ClassID(), factory.ProgID(),
                                      IDS_TAVWEBOMBLET, IDB_TAVWEBOMBLET, afxRegApartmentThreading,
                                      kTavWebOmbletMiscStatus, kTypeLibID, kVerMajor, kVerMinor);
}

Refusal CTavWebOmbletCtrl::IsCallerAllowed() const {
    if (!IsSafeForUntrustedCaller())
        return Refusal();
    CAllowedSites sites;
    if (!sites.Load())
        return Refusal();
    // Every address the sites give must be on a listed site: the control's
    // own document, so a frame of another site inside a listed page gets
    // nothing; the browser's top-level page, so a listed page framed by
    // another site gets nothing either; and the container's name for it.
    std::vector<PageUrl> urls;
    if (!GetPageUrls(urls) || urls.empty())
        return Refusal::Because("the page's address is unknown");
    for (const PageUrl& page : urls) {
        // The first address found is the page, whichever told it.
        if (!sites.Allows(page.url))
            return Refusal::Because(
                (page.topLevel && &page != &urls.front() ? "top-level page " : "page ") +
                NarrowAnsi(WithoutUserInfo(page.url)) + " is not on an allowed site");
    }
    return Refusal();
}

long CTavWebOmbletCtrl::CallMethod(const CDispatchEntry& entry, const char* const* args) {
    // Decided afresh on every call, since the page can navigate. A refused
    // call does nothing: no start, no message, no stored login, and 0 for a
    // result.
    const Refusal refusal = IsCallerAllowed();
    long result = 0;
    if (refusal.Ok())
        result = entry.call(*this, args);
    else if (Logs(TRACE_ERROR))
        Log(TRACE_ERROR, "%s : ERROR, refused: %s", NarrowAnsi(entry.name).c_str(),
            refusal.Reason().c_str());
    if (Logs(TRACE_INFO)) {
        const std::string call = CallText(entry, args);
        if (entry.hasResult)
            Log(TRACE_INFO, "%s = %ld", call.c_str(), result);
        else
            Log(TRACE_INFO, "%s", call.c_str());
    }
    return result;
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
