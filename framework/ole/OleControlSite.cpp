// The sites a container gives the control, and what they tell of the page:
// IObjectWithSite for a script engine's site, the address of the document
// that holds the control, and the top-level page its browser shows.
#include "OleControl.h"

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>

namespace {

// Kept whole, zero characters included, so that a check of the text sees
// all of it.
bool KeepUrl(HRESULT hr, BSTR text, std::wstring& url) {
    if (SUCCEEDED(hr) && text)
        url.assign(text, ::SysStringLen(text));
    ::SysFreeString(text);
    return SUCCEEDED(hr) && !url.empty();
}

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
    return KeepUrl(hr, location, url);
}

// The document the control sits in: a frame's own, not the page around it.
bool DocumentUrl(IUnknown* site, std::wstring& url) {
    com_ptr<IOleClientSite> clientSite;
    if (!site || FAILED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())))
        return false;
    com_ptr<IOleContainer> container;
    if (FAILED(clientSite->GetContainer(container.put())) || !container)
        return false;
    com_ptr<IHTMLDocument2> document;
    if (FAILED(container.As(&document)))
        return false;
    BSTR location = nullptr;
    const HRESULT hr = document->get_URL(&location);
    return KeepUrl(hr, location, url);
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

using UrlSource = bool (*)(IUnknown* site, std::wstring& url);
// In the order they count.
const UrlSource kPageUrlSources[] = {DocumentUrl, BrowserUrl, MonikerUrl};

} // namespace

bool COleControl::GetPageUrl(std::wstring& url) const {
    url.clear();
    // Script's new ActiveXObject gives the object site, an <object> tag the
    // client site; a host may hand the same object to both.
    IUnknown* sites[] = {m_pSite.get(), m_pClientSite.get()};
    for (UrlSource source : kPageUrlSources) {
        for (IUnknown* site : sites) {
            if (source(site, url))
                return true;
            url.clear();
        }
    }
    return false;
}

bool COleControl::GetTopPageUrl(std::wstring& url) const {
    url.clear();
    IUnknown* sites[] = {m_pSite.get(), m_pClientSite.get()};
    for (IUnknown* site : sites) {
        if (BrowserUrl(site, url))
            return true;
        url.clear();
    }
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
