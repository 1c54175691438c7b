#include "OleObjectFactory.h"
#include "OleControlModule.h"

COleObjectFactory::COleObjectFactory(REFCLSID clsid, const char* progID, CreateFn create,
                                     UpdateFn update)
    : m_clsid(clsid), m_progID(progID), m_create(create), m_update(update) {}

HRESULT STDMETHODCALLTYPE COleObjectFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE COleObjectFactory::AddRef() {
    AfxOleLockApp();
    return 2;
}

ULONG STDMETHODCALLTYPE COleObjectFactory::Release() {
    AfxOleUnlockApp();
    return 1;
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::CreateInstance(IUnknown* pOuter, REFIID riid,
                                                            void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (pOuter)
        return CLASS_E_NOAGGREGATION;
    return m_create(riid, ppv);
}

HRESULT STDMETHODCALLTYPE COleObjectFactory::LockServer(BOOL fLock) {
    if (fLock)
        AfxOleLockApp();
    else
        AfxOleUnlockApp();
    return S_OK;
}

HRESULT AfxDllGetClassObject(COleObjectFactory* const* table, std::size_t count, REFCLSID rclsid,
                             REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (IsEqualCLSID(table[i]->ClassID(), rclsid))
            return table[i]->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT AfxUpdateRegistryAll(COleObjectFactory* const* table, std::size_t count, BOOL bRegister) {
    for (std::size_t i = 0; i < count; ++i) {
        const HRESULT hr = table[i]->UpdateRegistry(bRegister);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
