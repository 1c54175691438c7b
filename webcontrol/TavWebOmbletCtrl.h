#pragma once
// The TavWebOmblet ActiveX control: the OLE control shell around the client
// operations, which a page calls through the dispatch table.

#include "OleControl.h"
#include "OleObjectFactory.h"
#include "OmbletClient.h"

class CTavWebOmbletCtrl : public COleControl, public COmbletClient {
public:
    CTavWebOmbletCtrl();

    static BOOL UpdateRegistry(const COleObjectFactory& factory, BOOL bRegister);

    void AboutBox();

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClsid) override;

protected:
    const CDispatchEntry* GetDispatchTable(UINT& count) const override;
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
