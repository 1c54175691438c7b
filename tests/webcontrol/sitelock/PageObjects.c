// A browser that knows only its top-level page's address, and a document that
// knows only its own, written against the C vtables so that only what the
// control calls is filled in.
#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <stddef.h>

static BSTR CopyUrl(BSTR url) {
    return SysAllocStringLen(url, SysStringLen(url));
}

typedef struct {
    IWebBrowser2 iface;
    LONG refs;
    BSTR url;
} PageBrowser;

static ULONG STDMETHODCALLTYPE BrowserAddRef(IWebBrowser2* self) {
    return (ULONG)InterlockedIncrement(&((PageBrowser*)self)->refs);
}

static ULONG STDMETHODCALLTYPE BrowserRelease(IWebBrowser2* self) {
    PageBrowser* browser = (PageBrowser*)self;
    LONG n = InterlockedDecrement(&browser->refs);
    if (n == 0) {
        SysFreeString(browser->url);
        HeapFree(GetProcessHeap(), 0, browser);
    }
    return (ULONG)n;
}

static HRESULT STDMETHODCALLTYPE BrowserQueryInterface(IWebBrowser2* self, REFIID riid,
                                                       void** ppv) {
    *ppv = IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IWebBrowser2) ? self : NULL;
    return *ppv ? (BrowserAddRef(self), S_OK) : E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE GetLocationURL(IWebBrowser2* self, BSTR* url) {
    *url = CopyUrl(((PageBrowser*)self)->url);
    return *url ? S_OK : E_OUTOFMEMORY;
}

static IWebBrowser2Vtbl browserVtable = {.QueryInterface = BrowserQueryInterface,
                                         .AddRef = BrowserAddRef,
                                         .Release = BrowserRelease,
                                         .get_LocationURL = GetLocationURL};

IWebBrowser2* NewPageBrowser(const wchar_t* url) {
    PageBrowser* browser = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PageBrowser));
    if (browser) {
        browser->iface.lpVtbl = &browserVtable;
        browser->refs = 1;
        browser->url = SysAllocString(url);
    }
    return browser ? &browser->iface : NULL;
}

// The container a client site names: one object, the document, answering
// as IOleContainer and as IHTMLDocument2.
typedef struct {
    IOleContainer container;
    IHTMLDocument2 document;
    LONG refs;
    BSTR url;
} PageDocument;

static PageDocument* FromDocument(IHTMLDocument2* self) {
    return (PageDocument*)((char*)self - offsetof(PageDocument, document));
}

static ULONG STDMETHODCALLTYPE ContainerAddRef(IOleContainer* self) {
    return (ULONG)InterlockedIncrement(&((PageDocument*)self)->refs);
}

static ULONG STDMETHODCALLTYPE ContainerRelease(IOleContainer* self) {
    PageDocument* page = (PageDocument*)self;
    LONG n = InterlockedDecrement(&page->refs);
    if (n == 0) {
        SysFreeString(page->url);
        HeapFree(GetProcessHeap(), 0, page);
    }
    return (ULONG)n;
}

static HRESULT STDMETHODCALLTYPE ContainerQueryInterface(IOleContainer* self, REFIID riid,
                                                         void** ppv) {
    PageDocument* page = (PageDocument*)self;
    *ppv = NULL;
    if (IsEqualIID(riid, &IID_IUnknown) || IsEqualIID(riid, &IID_IOleContainer))
        *ppv = &page->container;
    else if (IsEqualIID(riid, &IID_IHTMLDocument2))
        *ppv = &page->document;
    return *ppv ? (ContainerAddRef(self), S_OK) : E_NOINTERFACE;
}

static HRESULT STDMETHODCALLTYPE DocumentQueryInterface(IHTMLDocument2* self, REFIID riid,
                                                        void** ppv) {
    return ContainerQueryInterface(&FromDocument(self)->container, riid, ppv);
}

static ULONG STDMETHODCALLTYPE DocumentAddRef(IHTMLDocument2* self) {
    return ContainerAddRef(&FromDocument(self)->container);
}

static ULONG STDMETHODCALLTYPE DocumentRelease(IHTMLDocument2* self) {
    return ContainerRelease(&FromDocument(self)->container);
}

static HRESULT STDMETHODCALLTYPE GetDocumentURL(IHTMLDocument2* self, BSTR* url) {
    *url = CopyUrl(FromDocument(self)->url);
    return *url ? S_OK : E_OUTOFMEMORY;
}

static IOleContainerVtbl containerVtable = {.QueryInterface = ContainerQueryInterface,
                                            .AddRef = ContainerAddRef,
                                            .Release = ContainerRelease};

static IHTMLDocument2Vtbl documentVtable = {.QueryInterface = DocumentQueryInterface,
                                            .AddRef = DocumentAddRef,
                                            .Release = DocumentRelease,
                                            .get_URL = GetDocumentURL};

IOleContainer* NewPageDocument(const wchar_t* url) {
    PageDocument* page = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(PageDocument));
    if (page) {
        page->container.lpVtbl = &containerVtable;
        page->document.lpVtbl = &documentVtable;
        page->refs = 1;
        page->url = SysAllocString(url);
    }
    return page ? &page->container : NULL;
}
