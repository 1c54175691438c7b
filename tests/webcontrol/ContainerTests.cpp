#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

using namespace wctest;

namespace {

// The smallest container site that lets a windowed control go in place:
// a client site and an in-place site on a top-level window of ours.
class TestSite : public IOleClientSite, public IOleInPlaceSite {
public:
    explicit TestSite(HWND host) : m_host(host) {}
    LONG refs = 1;
    int activations = 0;
    int deactivations = 0;
    RECT pos = {10, 10, 110, 60};

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *ppv = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow))
            *ppv = static_cast<IOleInPlaceSite*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** ppmk) override {
        *ppmk = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** pp) override {
        *pp = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleWindow, IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
        *phwnd = m_host;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT lprcPosRect, LPRECT lprcClipRect,
                                               LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *lprcPosRect = pos;
        *lprcClipRect = pos;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        ++deactivations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

private:
    HWND m_host;
};

// A memory device context on a 32-bit DIB, filled with a marker colour.
class Canvas {
public:
    Canvas(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_dc = ::CreateCompatibleDC(nullptr);
        m_bitmap = ::CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, &m_bits, nullptr, 0);
        m_old = ::SelectObject(m_dc, m_bitmap);
        RECT all = {0, 0, width, height};
        HBRUSH marker = ::CreateSolidBrush(kMarker);
        ::FillRect(m_dc, &all, marker);
        ::DeleteObject(marker);
        ::GdiFlush();
    }
    ~Canvas() {
        ::SelectObject(m_dc, m_old);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    HDC dc() const { return m_dc; }
    COLORREF At(int x, int y) const {
        ::GdiFlush();
        DWORD px = static_cast<const DWORD*>(m_bits)[y * m_width + x];
        return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
    }
    static constexpr COLORREF kMarker = RGB(255, 0, 0);

private:
    int m_width, m_height;
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_old;
    void* m_bits = nullptr;
};

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ASSERT_TRUE(module.Ok());
        ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IOleObject, control.put_void()));
    }
    void TearDown() override {
        control.reset();
        ::CoUninitialize();
    }
    HRESULT DrawInto(Canvas& canvas, const RECTL& bounds) {
        ComPtr<IViewObject2> view;
        HRESULT hr = control.As(view);
        if (FAILED(hr))
            return hr;
        return view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.dc(), &bounds,
                          nullptr, nullptr, 0);
    }
    Module module;
    ComPtr<IOleObject> control;
};

// The ellipse's outline: the first pixel that is not white along a line
// from the middle of the picture towards one edge.
bool OutlineReached(const Canvas& c, int x0, int y0, int dx, int dy, int steps) {
    for (int i = 0; i < steps; ++i) {
        if (c.At(x0 + dx * i, y0 + dy * i) == kBlack)
            return true;
    }
    return false;
}

void ExpectWhiteBoxWithEllipse(const Canvas& c, const RECT& r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    int cx = r.left + w / 2, cy = r.top + h / 2;
    for (POINT p : {POINT{r.left, r.top}, POINT{r.right - 1, r.top}, POINT{r.left, r.bottom - 1},
                    POINT{r.right - 1, r.bottom - 1}})
        EXPECT_EQ(kWhite, c.At(p.x, p.y)) << "corner " << p.x << "," << p.y;
    // The outline touches the middle of each side.
    EXPECT_TRUE(OutlineReached(c, cx, r.top, 0, 1, 2)) << "top";
    EXPECT_TRUE(OutlineReached(c, cx, r.bottom - 1, 0, -1, 2)) << "bottom";
    EXPECT_TRUE(OutlineReached(c, r.left, cy, 1, 0, 2)) << "left";
    EXPECT_TRUE(OutlineReached(c, r.right - 1, cy, -1, 0, 2)) << "right";
}

TEST_F(ContainerTest, DrawsWhiteBoxWithInscribedEllipseAtTwoSizes) {
    for (SIZE size : {SIZE{100, 50}, SIZE{37, 81}}) {
        Canvas canvas(size.cx, size.cy);
        ASSERT_EQ(S_OK, DrawInto(canvas, RECTL{0, 0, size.cx, size.cy}));
        ExpectWhiteBoxWithEllipse(canvas, RECT{0, 0, size.cx, size.cy});
        // Default brush of a memory DC is white: the inside stays white.
        EXPECT_EQ(kWhite, canvas.At(size.cx / 2, size.cy / 2));
    }
}

TEST_F(ContainerTest, DrawingStaysInsideTheBoundsItIsGiven) {
    Canvas canvas(120, 90);
    ASSERT_EQ(S_OK, DrawInto(canvas, RECTL{20, 10, 80, 70}));
    ExpectWhiteBoxWithEllipse(canvas, RECT{20, 10, 80, 70});
    EXPECT_EQ(Canvas::kMarker, canvas.At(19, 40));
    EXPECT_EQ(Canvas::kMarker, canvas.At(80, 40));
    EXPECT_EQ(Canvas::kMarker, canvas.At(50, 9));
    EXPECT_EQ(Canvas::kMarker, canvas.At(50, 70));
}

TEST_F(ContainerTest, EllipseUsesTheContainersPenAndBrush) {
    Canvas canvas(80, 60);
    HBRUSH blue = ::CreateSolidBrush(RGB(0, 0, 255));
    HPEN green = ::CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    HGDIOBJ oldBrush = ::SelectObject(canvas.dc(), blue);
    HGDIOBJ oldPen = ::SelectObject(canvas.dc(), green);
    ASSERT_EQ(S_OK, DrawInto(canvas, RECTL{0, 0, 80, 60}));
    EXPECT_EQ(RGB(0, 0, 255), canvas.At(40, 30));
    EXPECT_EQ(RGB(0, 255, 0), canvas.At(40, 0));
    EXPECT_EQ(kWhite, canvas.At(0, 0));
    ::SelectObject(canvas.dc(), oldBrush);
    ::SelectObject(canvas.dc(), oldPen);
    ::DeleteObject(blue);
    ::DeleteObject(green);
}

TEST_F(ContainerTest, SitedControlGoesInPlaceInAChildWindowAndLeavesCleanly) {
    HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, host);
    TestSite site(host);
    ASSERT_EQ(S_OK, control->SetClientSite(&site));
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, control.As(persist));
    ASSERT_EQ(S_OK, persist->InitNew());

    ASSERT_EQ(S_OK, control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &site.pos));
    EXPECT_EQ(1, site.activations);
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(S_OK, control.As(inPlace));
    HWND child = nullptr;
    ASSERT_EQ(S_OK, inPlace->GetWindow(&child));
    ASSERT_TRUE(::IsWindow(child));
    EXPECT_EQ(host, ::GetParent(child));
    RECT rc;
    ::GetClientRect(child, &rc);
    EXPECT_EQ(100, rc.right);
    EXPECT_EQ(50, rc.bottom);

    // WM_COPYDATA is nothing the control reads: default processing answers 0.
    char data[] = "x";
    COPYDATASTRUCT cds = {110, sizeof(data), data};
    EXPECT_EQ(0, ::SendMessageW(child, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));

    RECT moved = {5, 5, 205, 125};
    ASSERT_EQ(S_OK, inPlace->SetObjectRects(&moved, &moved));
    ::GetClientRect(child, &rc);
    EXPECT_EQ(200, rc.right);
    EXPECT_EQ(120, rc.bottom);

    ASSERT_EQ(S_OK, inPlace->InPlaceDeactivate());
    EXPECT_EQ(1, site.deactivations);
    EXPECT_FALSE(::IsWindow(child));
    EXPECT_EQ(S_OK, control->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(S_OK, control->SetClientSite(nullptr));
    inPlace.reset();
    persist.reset();
    control.reset();
    // Every reference the control took on the site is given back.
    EXPECT_EQ(1, site.refs);
    ::DestroyWindow(host);
}

TEST_F(ContainerTest, ReportsClassMiscStatusTypeNameAndPropertyPage) {
    DWORD status = 0;
    ASSERT_EQ(S_OK, control->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_EQ(0x20191u, status);
    CLSID clsid = {};
    ASSERT_EQ(S_OK, control->GetUserClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_TavWebOmblet, clsid));
    LPOLESTR type = nullptr;
    ASSERT_EQ(S_OK, control->GetUserType(USERCLASSTYPE_FULL, &type));
    EXPECT_EQ("TavWebOmblet Control", Narrow(type));
    ::CoTaskMemFree(type);

    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(S_OK, control.As(pages));
    CAUUID uuids = {};
    ASSERT_EQ(S_OK, pages->GetPages(&uuids));
    ASSERT_EQ(1u, uuids.cElems);
    EXPECT_TRUE(IsEqualCLSID(PropPageClsid(), uuids.pElems[0]));
    ::CoTaskMemFree(uuids.pElems);

    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(S_OK, control.As(classInfo));
    GUID source = {};
    ASSERT_EQ(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source));
    EXPECT_TRUE(IsEqualGUID(DIID__DTavWebOmbletEvents, source));
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, classInfo->GetClassInfo(coclass.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(CLSID_TavWebOmblet, attr->guid));
    coclass->ReleaseTypeAttr(attr);

    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IObjectSafety, safety.put_void()));
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(DWORD(INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA),
              supported);
}

// Stream persistence: the version number 1.0 first, then the extent.
std::string StreamBytes(IStream* stream) {
    HGLOBAL global = nullptr;
    ::GetHGlobalFromStream(stream, &global);
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    const char* p = static_cast<const char*>(::GlobalLock(global));
    std::string bytes(p, static_cast<size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(global);
    return bytes;
}

TEST_F(ContainerTest, StreamSaveWritesVersionAndLoadRestoresTheState) {
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, control.As(persist));
    ASSERT_EQ(S_OK, persist->InitNew());
    SIZEL extent = {5000, 2500};
    ASSERT_EQ(S_OK, control->SetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(S_OK, persist->IsDirty());

    ComPtr<IStream> stream;
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_EQ(S_OK, persist->Save(stream.get(), TRUE));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    std::string bytes = StreamBytes(stream.get());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::string("\x00\x00\x01\x00", 4), bytes.substr(0, 4));
    ULARGE_INTEGER max = {};
    ASSERT_EQ(S_OK, persist->GetSizeMax(&max));
    EXPECT_EQ(bytes.size(), max.QuadPart);

    ComPtr<IOleObject> other;
    ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IOleObject, other.put_void()));
    ComPtr<IPersistStreamInit> otherPersist;
    ASSERT_EQ(S_OK, other.As(otherPersist));
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, otherPersist->Load(stream.get()));
    SIZEL loaded = {};
    ASSERT_EQ(S_OK, other->GetExtent(DVASPECT_CONTENT, &loaded));
    EXPECT_EQ(5000, loaded.cx);
    EXPECT_EQ(2500, loaded.cy);
}

TEST_F(ContainerTest, TruncatedStreamFailsToLoad) {
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, control.As(persist));
    ComPtr<IStream> stream;
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ULONG written = 0;
    stream->Write("\x00\x00", 2, &written);
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(stream.get())));
}

// A page's <param> tags, as the browser hands them over.
class TestBag : public IPropertyBag {
public:
    std::map<std::wstring, std::wstring> values;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* var, IErrorLog*) override {
        auto it = values.find(name);
        if (it == values.end())
            return E_INVALIDARG;
        VARIANT text;
        text.vt = VT_BSTR;
        text.bstrVal = ::SysAllocString(it->second.c_str());
        VARTYPE want = var->vt;
        HRESULT hr =
            want == VT_EMPTY ? ::VariantCopy(var, &text) : ::VariantChangeType(var, &text, 0, want);
        ::VariantClear(&text);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* var) override {
        VARIANT text;
        ::VariantInit(&text);
        HRESULT hr = ::VariantChangeType(&text, var, 0, VT_BSTR);
        if (FAILED(hr))
            return hr;
        values[name] = text.bstrVal;
        ::VariantClear(&text);
        return S_OK;
    }
};

TEST_F(ContainerTest, PropertyBagCarriesVersionAndExtent) {
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(S_OK, control.As(persist));
    ASSERT_EQ(S_OK, persist->InitNew());
    SIZEL extent = {3000, 1000};
    ASSERT_EQ(S_OK, control->SetExtent(DVASPECT_CONTENT, &extent));
    TestBag bag;
    ASSERT_EQ(S_OK, persist->Save(&bag, TRUE, TRUE));
    EXPECT_EQ(L"65536", bag.values[L"_Version"]);

    ComPtr<IOleObject> other;
    ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IOleObject, other.put_void()));
    ComPtr<IPersistPropertyBag> otherPersist;
    ASSERT_EQ(S_OK, other.As(otherPersist));
    ASSERT_EQ(S_OK, otherPersist->Load(&bag, nullptr));
    SIZEL loaded = {};
    ASSERT_EQ(S_OK, other->GetExtent(DVASPECT_CONTENT, &loaded));
    EXPECT_EQ(3000, loaded.cx);
    EXPECT_EQ(1000, loaded.cy);
}

TEST_F(ContainerTest, PageWithoutParamsLoadsTheDefaults) {
    ComPtr<IPersistPropertyBag> persist;
    ASSERT_EQ(S_OK, control.As(persist));
    TestBag empty;
    EXPECT_EQ(S_OK, persist->Load(&empty, nullptr));
}

TEST(ModuleLifetimeTest, CanUnloadOnlyWhenNoObjectOrLockRemains) {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    Module module;
    ASSERT_TRUE(module.Ok());
    ASSERT_EQ(S_OK, module.CanUnloadNow());
    {
        ComPtr<IUnknown> object;
        ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IUnknown, object.put_void()));
        EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    }
    EXPECT_EQ(S_OK, module.CanUnloadNow());
    {
        ComPtr<IUnknown> page;
        ASSERT_EQ(S_OK, module.Create(PropPageClsid(), IID_IPropertyPage, page.put_void()));
        EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    }
    EXPECT_EQ(S_OK, module.CanUnloadNow());

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_TavWebOmblet, factory.put()));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.reset();
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_TavWebOmblet, factory.put()));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory.reset();
    EXPECT_EQ(S_OK, module.CanUnloadNow());
    ::CoUninitialize();
}

TEST(ModuleLifetimeTest, UnknownClassAndAggregationAreRefused) {
    Module module;
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, module.GetClassObject(IID_IDispatch, factory.put()));
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_TavWebOmblet, factory.put()));
    IUnknown* inner = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(reinterpret_cast<IUnknown*>(&factory), IID_IUnknown,
                                      reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(nullptr, inner);
}

TEST(PropertyPageTest, PageShowsDialog200UnderItsGeneralCaption) {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    Module module;
    {
        ComPtr<IPropertyPage> page;
        ASSERT_EQ(S_OK, module.Create(PropPageClsid(), IID_IPropertyPage, page.put_void()));
        PROPPAGEINFO info = {};
        ASSERT_EQ(S_OK, page->GetPageInfo(&info));
        EXPECT_EQ("General", Narrow(info.pszTitle));
        EXPECT_GT(info.size.cx, 0);
        EXPECT_GT(info.size.cy, 0);
        // 251 x 62 dialog units: wider than high by about the same ratio.
        EXPECT_GT(info.size.cx, 3 * info.size.cy);
        ::CoTaskMemFree(info.pszTitle);

        HWND host = ::CreateWindowExW(0, L"STATIC", L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 600, 300,
                                      nullptr, nullptr, nullptr, nullptr);
        RECT rc = {0, 0, info.size.cx, info.size.cy};
        ASSERT_EQ(S_OK, page->Activate(host, &rc, FALSE));
        HWND dialog = ::GetWindow(host, GW_CHILD);
        ASSERT_NE(nullptr, dialog);
        HWND text = ::GetWindow(dialog, GW_CHILD);
        ASSERT_NE(nullptr, text);
        char caption[200] = {};
        ::GetWindowTextA(text, caption, sizeof(caption));
        EXPECT_STREQ("TODO: Place controls to manipulate properties of TavWebOmblet Control on "
                     "this dialog.",
                     caption);
        EXPECT_EQ(S_FALSE, page->IsPageDirty());
        EXPECT_EQ(S_OK, page->Apply());
        EXPECT_EQ(S_OK, page->Deactivate());
        EXPECT_FALSE(::IsWindow(dialog));
        ::DestroyWindow(host);
    }
    ::CoUninitialize();
}

} // namespace
