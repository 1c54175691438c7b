#pragma once
// One generic class factory per creatable class, fed by a row of the
// module's factory table: the class ID, its ProgID, how to make an instance
// and how to write or remove its registry entries.

#include <windows.h>
#include <ole2.h>

#include "ComPtr.h"

#include <cstddef>
#include <new>

class COleObjectFactory : public IClassFactory {
public:
    // Makes a new object and queries it for riid; the object starts with the
    // reference that the query adds.
    using CreateFn = HRESULT (*)(REFIID riid, void** ppv);
    // TRUE: write the class's registry entries; FALSE: remove them.
    using UpdateFn = HRESULT (*)(const COleObjectFactory& factory, BOOL bRegister);

    COleObjectFactory(REFCLSID clsid, const char* progID, CreateFn create, UpdateFn update);

    const CLSID& ClassID() const { return m_clsid; }
    const char* ProgID() const { return m_progID; }
    HRESULT UpdateRegistry(BOOL bRegister) const { return m_update(*this, bRegister); }

    // The factory is a static object: its references are module locks.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

private:
    CLSID m_clsid;
    const char* m_progID;
    CreateFn m_create;
    UpdateFn m_update;
};

// Walk the module's factory table.
HRESULT AfxDllGetClassObject(COleObjectFactory* const* table, std::size_t count, REFCLSID rclsid,
                             REFIID riid, void** ppv);
// Stops at the first row that fails and returns its code; what was done
// stays done.
HRESULT AfxUpdateRegistryAll(COleObjectFactory* const* table, std::size_t count, BOOL bRegister);

template <std::size_t N>
HRESULT AfxDllGetClassObject(COleObjectFactory* const (&table)[N], REFCLSID rclsid, REFIID riid,
                             void** ppv) {
    return AfxDllGetClassObject(table, N, rclsid, riid, ppv);
}
template <std::size_t N>
HRESULT AfxUpdateRegistryAll(COleObjectFactory* const (&table)[N], BOOL bRegister) {
    return AfxUpdateRegistryAll(table, N, bRegister);
}

// A CreateFn for a class with a default constructor whose objects start
// with no references.
template <typename T> HRESULT AfxCreateObject(REFIID riid, void** ppv) {
    T* object = new (std::nothrow) T;
    if (!object)
        return E_OUTOFMEMORY;
    // Held while it is queried, so a refused interface destroys it.
    com_ptr<T> held(object);
    return held->QueryInterface(riid, ppv);
}
