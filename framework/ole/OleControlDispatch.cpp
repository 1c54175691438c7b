// IDispatch for a pure dispinterface: names through the type information,
// calls through the control's dispatch table.
#include "OleControl.h"
#include "OleControlModule.h"
#include "OleRegistry.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

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

} // namespace

long COleControl::CallMethod(const CDispatchEntry& entry, const char* const* args) {
    return entry.call(*this, args);
}

HRESULT COleControl::LoadTypeInfo() {
    if (m_pDispInfo)
        return S_OK;
    if (!m_piidPrimary)
        return E_UNEXPECTED;
    if (!m_pTypeLib) {
        // Used before registration (a container that loads the module
        // itself): the library in the module's resources is the same one.
        if (FAILED(GetTypeLib(LOCALE_SYSTEM_DEFAULT, m_pTypeLib.put()))) {
            HRESULT hr = AfxLoadModuleTypeLib(AfxGetInstanceHandle(), m_pTypeLib.put());
            if (FAILED(hr))
                return hr;
        }
    }
    return m_pTypeLib->GetTypeInfoOfGuid(*m_piidPrimary, m_pDispInfo.put());
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
    return m_pDispInfo.copy_to(ppTInfo);
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
        // The page may drop its last reference while the method runs (a
        // modal box or a sent message lets its script run): keep ours.
        com_ptr<IDispatch> self(this);
        long result = CallMethod(*entry, args.empty() ? nullptr : args.data());
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
