#include "TavWebOmbletPropPage.h"
#include "OleControlModule.h"
#include "OleRegistry.h"
#include "Resource.h"

// {FE4F5263-11D5-4724-95BA-A978983B6369}
const CLSID CLSID_TavWebOmbletPropPage = {
    0xfe4f5263, 0x11d5, 0x4724, {0x95, 0xba, 0xa9, 0x78, 0x98, 0x3b, 0x63, 0x69}};

CTavWebOmbletPropPage::CTavWebOmbletPropPage()
    : COlePropertyPage(IDD_PROPPAGE_TAVWEBOMBLET, IDS_TAVWEBOMBLET_PPG_CAPTION) {}

HRESULT CTavWebOmbletPropPage::UpdateRegistry(const COleObjectFactory& factory, BOOL bRegister) {
    // The page's ProgID names the factory only; it is not registered.
    if (!bRegister)
        return AfxOleUnregisterClass(factory.ClassID(), nullptr);
    return AfxOleRegisterPropertyPageClass(AfxGetInstanceHandle(), factory.ClassID(),
                                           IDS_TAVWEBOMBLET_PPG, afxRegApartmentThreading);
}

void CTavWebOmbletPropPage::DoDataExchange(bool bSaveAndValidate) {
    // No controls: only the framework's own step.
    COlePropertyPage::DoDataExchange(bSaveAndValidate);
}
