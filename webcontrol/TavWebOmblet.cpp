#include "TavWebOmblet.h"
#include "ComponentCategories.h"
#include "OleObjectFactory.h"
#include "OleRegistry.h"
#include "TavWebOmbletCtrl.h"
#include "TavWebOmbletPropPage.h"
#include "TavWebOmblet_h.h"

#include <objsafe.h>
#include <olectl.h>

CTavWebOmbletApp theApp;

const GUID kTypeLibID = LIBID_TAVWEBOMBLETLib;
const WORD kVerMajor = 1;
const WORD kVerMinor = 0;

BOOL CTavWebOmbletApp::InitInstance() {
    return COleControlModule::InitInstance();
}

int CTavWebOmbletApp::ExitInstance() {
    return COleControlModule::ExitInstance();
}

namespace {

COleObjectFactory g_controlFactory(CLSID_TavWebOmblet, "TAVWEBOMBLET.TavWebOmbletCtrl.1",
                                   AfxCreateObject<CTavWebOmbletCtrl>,
                                   CTavWebOmbletCtrl::UpdateRegistry);
COleObjectFactory g_pageFactory(CLSID_TavWebOmbletPropPage, "TAVWEBOMBLET.TavWebOmbletPropPage.1",
                                AfxCreateObject<CTavWebOmbletPropPage>,
                                CTavWebOmbletPropPage::UpdateRegistry);

COleObjectFactory* const kFactories[] = {&g_controlFactory, &g_pageFactory};

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    return AfxDllMain(hInstance, dwReason);
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return AfxDllGetClassObject(kFactories, rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return AfxDllCanUnloadNow();
}

STDAPI DllRegisterServer() {
    if (FAILED(AfxOleRegisterTypeLib(AfxGetInstanceHandle(), kTypeLibID)))
        return SELFREG_E_TYPELIB;
    if (FAILED(AfxUpdateRegistryAll(kFactories, TRUE)))
        return SELFREG_E_CLASS;
    if (FAILED(
            CreateComponentCategory(CATID_SafeForScripting, "Controls that are safely scriptable")))
        return SELFREG_E_CLASS;
    if (FAILED(CreateComponentCategory(CATID_SafeForInitializing,
                                       "Controls safely initializable from persistent data")))
        return SELFREG_E_CLASS;
    if (FAILED(RegisterCLSIDInCategory(CLSID_TavWebOmblet, CATID_SafeForScripting)))
        return SELFREG_E_CLASS;
    if (FAILED(RegisterCLSIDInCategory(CLSID_TavWebOmblet, CATID_SafeForInitializing)))
        return SELFREG_E_CLASS;
    return S_OK;
}

// The categories and the control's marks in them stay behind.
STDAPI DllUnregisterServer() {
    if (FAILED(AfxOleUnregisterTypeLib(kTypeLibID, kVerMajor, kVerMinor, 0)))
        return SELFREG_E_TYPELIB;
    if (FAILED(AfxUpdateRegistryAll(kFactories, FALSE)))
        return SELFREG_E_CLASS;
    return S_OK;
}
