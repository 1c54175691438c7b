#include "PropExchange.h"

#include <cstdint>

bool CStreamPropExchange::ExchangeLong(const wchar_t*, long& value, long) {
    if (FAILED(m_hr))
        return false;
    // Four bytes on the stream whatever the width of long.
    std::int32_t raw = static_cast<std::int32_t>(value);
    ULONG done = 0;
    if (m_loading) {
        HRESULT hr = m_stream->Read(&raw, sizeof(raw), &done);
        if (FAILED(hr))
            return Fail(hr);
        if (done != sizeof(raw))
            return Fail(STG_E_READFAULT);
        value = raw;
        return true;
    }
    HRESULT hr = m_stream->Write(&raw, sizeof(raw), &done);
    if (FAILED(hr))
        return Fail(hr);
    if (done != sizeof(raw))
        return Fail(STG_E_WRITEFAULT);
    return true;
}

bool CBagPropExchange::ExchangeLong(const wchar_t* name, long& value, long defaultValue) {
    if (FAILED(m_hr))
        return false;
    VARIANT var;
    ::VariantInit(&var);
    if (m_loading) {
        var.vt = VT_I4;
        if (FAILED(m_bag->Read(name, &var, m_log))) {
            // Pages leave out what they do not set.
            value = defaultValue;
            return true;
        }
        HRESULT hr = ::VariantChangeType(&var, &var, 0, VT_I4);
        if (FAILED(hr)) {
            ::VariantClear(&var);
            return Fail(hr);
        }
        value = var.lVal;
        return true;
    }
    var.vt = VT_I4;
    var.lVal = value;
    HRESULT hr = m_bag->Write(name, &var);
    return SUCCEEDED(hr) ? true : Fail(hr);
}

bool PX_Version(CPropExchange* pPX, DWORD& version, DWORD defaultVersion, bool bConvert) {
    long raw = static_cast<long>(version);
    if (!pPX->ExchangeLong(L"_Version", raw, static_cast<long>(defaultVersion)))
        return false;
    DWORD found = static_cast<DWORD>(raw);
    if (pPX->IsLoading()) {
        if (found != version && !bConvert)
            return pPX->Fail(E_FAIL);
        version = found;
    }
    return true;
}

bool PX_Long(CPropExchange* pPX, const wchar_t* name, long& value, long defaultValue) {
    return pPX->ExchangeLong(name, value, defaultValue);
}
