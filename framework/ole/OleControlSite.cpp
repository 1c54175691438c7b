// The sites a container gives the control, and what they tell of the page:
// IObjectWithSite for a script engine's site, the address of the document
// that holds the control, and the top-level page its browser shows.
#include "OleControl.h"

#include <exdisp.h>
#include <mshtml.h>
#include <servprov.h>
#include <shlguid.h>

namespace {

// What a site tells of one address of its page.
enum class Told { Nothing, Address, NoAddress };

// Kept whole, zero characters included, so that a check of the text sees
// all of it. A source that is there and gives no address tells NoAddress.
Told KeepUrl(HRESULT hr, BSTR text, std::wstring& url) {
    if (SUCCEEDED(hr) && text)
        url.assign(text, ::SysStringLen(text));
    ::SysFreeString(text);
    return SUCCEEDED(hr) && !url.empty() ? Told::Address : Told::NoAddress;
}

// A browser offers itself as a service of every site it hands out.
Told BrowserUrl(IUnknown* site, std::wstring& url) {
    com_ptr<IServiceProvider> services;
    if (!site || FAILED(site->QueryInterface(IID_IServiceProvider, services.put_void())))
        return Told::Nothing;
    com_ptr<IWebBrowser2> browser;
    if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())) ||
        !browser)
        return Told::Nothing;
    BSTR location = nullptr;
    const HRESULT hr = browser->get_LocationURL(&location);
    return KeepUrl(hr, location, url);
}

// The document the control sits in: a frame's own, not the page around it.
Told DocumentUrl(IUnknown* site, std::wstring& url) {
    com_ptr<IOleClientSite> clientSite;
    if (!site || FAILED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())))
        return Told::Nothing;
    com_ptr<IOleContainer> container;
    if (FAILED(clientSite->GetContainer(container.put())) || !container)
        return Told::Nothing;
    com_ptr<IHTMLDocument2> document;
    if (FAILED(container.As(&document)))
        return Told::Nothing;
    BSTR location = nullptr;
    const HRESULT hr = document->get_URL(&location);
    return KeepUrl(hr, location, url);
}

// A document container names itself by a moniker: for a page, its URL.
Told MonikerUrl(IUnknown* site, std::wstring& url) {
    com_ptr<IOleClientSite> clientSite;
    if (!site || FAILED(site->QueryInterface(IID_IOleClientSite, clientSite.put_void())))
        return Told::Nothing;
    com_ptr<IMoniker> moniker;
    if (FAILED(clientSite->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER,
                                      moniker.put())) ||
        !moniker)
        return Told::Nothing;
    com_ptr<IBindCtx> context;
    if (FAILED(::CreateBindCtx(0, context.put())))
        return Told::NoAddress;
    LPOLESTR name = nullptr;
    const HRESULT hr = moniker->GetDisplayName(context.get(), nullptr, &name);
    if (SUCCEEDED(hr) && name)
        url = name;
    ::CoTaskMemFree(name);
    return SUCCEEDED(hr) && !url.empty() ? Told::Address : Told::NoAddress;
}

using UrlSource = Told (*)(IUnknown* site, std::wstring& url);
// In the order they count.
const UrlSource kPageUrlSources[] = {DocumentUrl, BrowserUrl, MonikerUrl};

} // namespace

bool COleControl::GetPageUrls(std::vector<PageUrl>& urls) const {
    urls.clear();
    // Script's new ActiveXObject gives the object site, an <object> tag the
    // client site; a host may hand the same object to both.
    IUnknown* sites[] = {m_pSite.get(), m_pClientSite.get()};
    for (UrlSource source : kPageUrlSources) {
        for (IUnknown* site : sites) {
            std::wstring url;
            const Told told = source(site, url);
            if (told == Told::NoAddress)
                return false;
            if (told == Told::Address)
                urls.push_back({url, source == BrowserUrl});
        }
    }
    return true;
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
