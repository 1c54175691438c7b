#pragma once
// Persistent properties, exchanged in one routine for both directions and
// for both media: a binary stream (IPersistStreamInit) and a property bag
// (IPersistPropertyBag, the <param> tags of a page).

#include <windows.h>
#include <ocidl.h>

class CPropExchange {
public:
    explicit CPropExchange(bool loading) : m_loading(loading) {}
    virtual ~CPropExchange() = default;

    bool IsLoading() const { return m_loading; }
    // First failure of the exchange, S_OK when none.
    HRESULT Result() const { return m_hr; }

    // A missing value loads as its default; a short stream is a failure.
    virtual bool ExchangeLong(const wchar_t* name, long& value, long defaultValue) = 0;

protected:
    bool Fail(HRESULT hr) {
        if (SUCCEEDED(m_hr))
            m_hr = hr;
        return false;
    }
    bool m_loading;
    HRESULT m_hr = S_OK;

    friend bool PX_Version(CPropExchange* pPX, DWORD& version, DWORD defaultVersion, bool bConvert);
};

class CStreamPropExchange : public CPropExchange {
public:
    CStreamPropExchange(IStream* stream, bool loading) : CPropExchange(loading), m_stream(stream) {}
    bool ExchangeLong(const wchar_t* name, long& value, long defaultValue) override;

private:
    IStream* m_stream;
};

class CBagPropExchange : public CPropExchange {
public:
    CBagPropExchange(IPropertyBag* bag, IErrorLog* log, bool loading)
        : CPropExchange(loading), m_bag(bag), m_log(log) {}
    bool ExchangeLong(const wchar_t* name, long& value, long defaultValue) override;

private:
    IPropertyBag* m_bag;
    IErrorLog* m_log;
};

// The version number goes first ("_Version" in a bag). Another version than
// the current one loads only when bConvert allows it.
bool PX_Version(CPropExchange* pPX, DWORD& version, DWORD defaultVersion, bool bConvert);
bool PX_Long(CPropExchange* pPX, const wchar_t* name, long& value, long defaultValue);
