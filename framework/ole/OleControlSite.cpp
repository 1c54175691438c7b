// The sites a container gives the control, and what they tell of the page:
// IObjectWithSite for a script engine's site, and the page address that a
// browser offers through either site.
#include "OleControl.h"

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>

namespace {

// A browser offers itself as a service of every site it hands out.
bool BrowserUrl(IUnknown* site, std::wstring& url) {
    com_ptr<IServiceProvider> services;
    if (!site || FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void())))
        return false;
    com_ptr<IWebBrowser2> browser;
    if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())) ||
        !browser)
        return false;
    BSTR location = nullptr;
    const HRESULT hr = browser->get_LocationURL(&location);
    // Kept whole, zero characters included, so that a check of the text
    // sees all of it.
    if (SUCCEEDED(hr) && location)
        url.assign(location, ::SysStringLen(location));
    ::SysFreeString(location);
    return SUCCEEDED(hr) && !url.empty();
}

// A document container names itself by a moniker: for a page, its URL.
bool MonikerUrl(IUnknown* site, std::wstring& url) {
    com_ptr<IOleClientSite> clientSite;
    if (!site || FAILED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())))
        return false;
    com_ptr<IMoniker> moniker;
    if (FAILED(clientSite->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER,
                                      moniker.put())) ||
        !moniker)
        return false;
    com_ptr<IBindCtx> context;
    if (FAILED(::CreateBindCtx(0, context.put())))
        return false;
    LPOLESTR name = nullptr;
    const HRESULT hr = moniker->GetDisplayName(context.get(), nullptr, &name);
    if (SUCCEEDED(hr) && name)
        url = name;
    ::CoTaskMemFree(name);
    return SUCCEEDED(hr) && !url.empty();
}

} // namespace

bool COleControl::GetPageUrl(std::wstring& url) const {
    url.clear();
    // Script's new ActiveXObject gives the object site, an <object> tag
    // the client site; the browser stands behind both.
    IUnknown* sites[] = {m_pSite.get(), m_pClientSite.get()};
    for (IUnknown* site : sites) {
        if (BrowserUrl(site, url))
            return true;
    }
    for (IUnknown* site : sites) {
        if (MonikerUrl(site, url))
            return true;
    }
    url.clear();
    return false;
}

// IObjectWithSite

HRESULT STDMETHODCALLTYPE COleControl::SetSite(IUnknown* pUnkSite) {
    m_pSite.reset(pUnkSite);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE COleControl::GetSite(REFIID riid, void** ppvSite) {
    if (!ppvSite)
        return E_POINTER;
    *ppvSite = nullptr;
    if (!m_pSite)
        return E_FAIL;
    return m_pSite->QueryInterface(riid, ppvSite);
}
