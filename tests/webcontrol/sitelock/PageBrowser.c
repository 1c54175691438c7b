// A browser that knows only its page's address, written against the C vtable
// so that only what the control calls is filled in.
#include <windows.h>
#include <exdisp.h>

typedef struct {
    IWebBrowser2 iface;
    LONG refs;
    BSTR url;
} PageBrowser;

static ULONG STDMETHODCALLTYPE AddRef(IWebBrowser2* self) {
    return (ULONG)InterlockedIncrement(&((PageBrowser*)self)->refs);
}

static ULONG STDMETHODCALLTYPE Release(IWebBrowser2* self) {
    PageBrowser* browser = (PageBrowser*)self;
    LONG n = InterlockedDecrement(&browser->refs);
    if (n == 0) {
        SysFreeString(browser->url);
        HeapFree(GetProcessHeap(), 0, browser);
    }
    return (ULONG)n;
}

static HRESULT STDMETHODCALLTYPE QueryInterface(IWebBrowser2* self, REFIID riid, void** ppv) {
    *ppv = IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IWebBrowser2) ? self : NULL;
    return *ppv ? (AddRef(self), S_OK) : E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE GetLocationURL(IWebBrowser2* self, BSTR* url) {
    const BSTR page = ((PageBrowser*)self)->url;
    *url = SysAllocStringLen(page, SysStringLen(page));
    return *url ? S_OK : E_OUTOFMEMORY;
}

static IWebBrowser2Vtbl vtable = {.QueryInterface = QueryInterface,
                                  .AddRef = AddRef,
                                  .Release = Release,
                                  .get_LocationURL = GetLocationURL};

IWebBrowser2* NewPageBrowser(const wchar_t* url) {
    PageBrowser* browser = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PageBrowser));
    if (browser) {
        browser->iface.lpVtbl = &vtable;
        browser->refs = 1;
        browser->url = SysAllocString(url);
    }
    return browser ? &browser->iface : NULL;
}
