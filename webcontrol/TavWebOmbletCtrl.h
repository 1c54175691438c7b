#pragma once
// The TavWebOmblet ActiveX control: the OLE control shell around the client
// operations, which a page calls through the dispatch table.

#include "OleControl.h"
#include "OleObjectFactory.h"
#include "OmbletClient.h"
#include "Refusal.h"

class CTavWebOmbletCtrl : public COleControl, public COmbletClient {
public:
    CTavWebOmbletCtrl();

    static HRESULT UpdateRegistry(const COleObjectFactory& factory, BOOL bRegister);

    void AboutBox();

    // Whether the caller of this scripted call may use the control: a page
    // in a browser only when it, and the top-level page around it, lie on
    // sites the deployment lists, if it lists any; a host that runs with the
    // user's own rights always. A refusal says which page it judged.
    Refusal IsCallerAllowed() const;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClsid) override;

protected:
    const CDispatchEntry* GetDispatchTable(UINT& count) const override;
    long CallMethod(const CDispatchEntry& entry, const char* const* args) override;
    HRESULT GetTypeLib(LCID lcid, ITypeLib** ppTypeLib) override;
    void DoPropExchange(CPropExchange* pPX) override;
    void OnResetState() override;
    void OnDraw(HDC hdc, const RECT& rcBounds, const RECT& rcInvalid) override;
    const CLSID* GetPropPageIDs(ULONG& count) const override;
    UINT GetUserTypeNameID() const override;
    DWORD GetMiscStatus() const override;
};

// OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
// OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE
constexpr DWORD kTavWebOmbletMiscStatus = 0x20191;
