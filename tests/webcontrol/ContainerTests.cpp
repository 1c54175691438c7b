#include "Fixtures.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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
        *lprcPosRect = *lprcClipRect = pos;
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

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kMarker = RGB(255, 0, 0);

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
    HRESULT Call(DISPID id, VARIANT* args, UINT count, VARIANT* result = nullptr,
                 UINT* argErr = nullptr) {
        com_ptr<IDispatch> disp;
        HRESULT hr = control.As(&disp);
        DISPPARAMS params = {args, nullptr, count, 0};
        return FAILED(hr) ? hr
                          : disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                         &params, result, nullptr, argErr);
    }
    Module module;
    com_ptr<IOleObject> control;
};

// Drawn into a memory device context on a 32-bit DIB filled with a marker
// colour: a white box with corners, an ellipse touching the middle of each
// side, white inside with the default brush, nothing outside the bounds.
TEST_F(ContainerTest, DrawsWhiteBoxWithInscribedEllipseAtTwoSizesInsideItsBounds) {
    const int width = 120, height = 100;
    for (RECT r : {RECT{2, 3, 102, 53}, RECT{20, 10, 57, 91}}) {
        SCOPED_TRACE(testing::Message()
                     << r.left << "," << r.top << "-" << r.right << "," << r.bottom);
        BITMAPINFO bi = {};
        bi.bmiHeader = {sizeof(bi.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HDC dc = ::CreateCompatibleDC(nullptr);
        HBITMAP bitmap = ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        RECT all = {0, 0, width, height};
        HBRUSH marker = ::CreateSolidBrush(kMarker);
        ::FillRect(dc, &all, marker);
        ::DeleteObject(marker);

        com_ptr<IViewObject2> view;
        ASSERT_EQ(S_OK, control.As(&view));
        RECTL bounds = {r.left, r.top, r.right, r.bottom};
        ASSERT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds,
                                   nullptr, nullptr, 0));
        ::GdiFlush();
        auto at = [&](int x, int y) {
            DWORD px = static_cast<const DWORD*>(bits)[y * width + x];
            return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
        };
        const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        for (POINT p :
             {POINT{r.left, r.top}, POINT{r.right - 1, r.top}, POINT{r.left, r.bottom - 1},
              POINT{r.right - 1, r.bottom - 1}, POINT{cx, cy}})
            EXPECT_EQ(kWhite, at(p.x, p.y)) << p.x << "," << p.y;
        // The outline within the first two pixels from each side's middle.
        EXPECT_TRUE(at(cx, r.top) == kBlack || at(cx, r.top + 1) == kBlack) << "top";
        EXPECT_TRUE(at(cx, r.bottom - 1) == kBlack || at(cx, r.bottom - 2) == kBlack) << "bottom";
        EXPECT_TRUE(at(r.left, cy) == kBlack || at(r.left + 1, cy) == kBlack) << "left";
        EXPECT_TRUE(at(r.right - 1, cy) == kBlack || at(r.right - 2, cy) == kBlack) << "right";
        for (POINT p :
             {POINT{r.left - 1, cy}, POINT{r.right, cy}, POINT{cx, r.top - 1}, POINT{cx, r.bottom}})
            EXPECT_EQ(kMarker, at(p.x, p.y)) << "outside " << p.x << "," << p.y;
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }
}

TEST_F(ContainerTest, SitedControlGoesInPlaceInAChildWindowAndGivesTheSiteBack) {
    HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, host);
    TestSite site(host);
    ASSERT_EQ(S_OK, control->SetClientSite(&site));
    com_ptr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, control.As(&persist));
    ASSERT_EQ(S_OK, persist->InitNew());

    ASSERT_EQ(S_OK, control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &site.pos));
    EXPECT_EQ(1, site.activations);
    com_ptr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(S_OK, control.As(&inPlace));
    HWND child = nullptr;
    ASSERT_EQ(S_OK, inPlace->GetWindow(&child));
    ASSERT_TRUE(::IsWindow(child));
    EXPECT_EQ(host, ::GetParent(child));
    RECT rc;
    ::GetClientRect(child, &rc);
    EXPECT_EQ(100, rc.right);
    EXPECT_EQ(50, rc.bottom);

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

TEST_F(ContainerTest, ReportsClassMiscStatusPropertyPageAndScriptingSafety) {
    DWORD status = 0;
    ASSERT_EQ(S_OK, control->GetMiscStatus(DVASPECT_CONTENT, &status));
    EXPECT_EQ(0x20191u, status);
    CLSID clsid = {};
    ASSERT_EQ(S_OK, control->GetUserClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_TavWebOmblet, clsid));

    com_ptr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(S_OK, control.As(&pages));
    CAUUID uuids = {};
    ASSERT_EQ(S_OK, pages->GetPages(&uuids));
    ASSERT_EQ(1u, uuids.cElems);
    EXPECT_TRUE(IsEqualCLSID(PropPageClsid(), uuids.pElems[0]));
    ::CoTaskMemFree(uuids.pElems);

    com_ptr<IObjectSafety> safety;
    ASSERT_EQ(S_OK, control->QueryInterface(IID_IObjectSafety, safety.put_void()));
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(S_OK, safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled));
    EXPECT_EQ(DWORD(INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA),
              supported);
}

// Stream persistence: the version number 1.0 first, then the extent.
TEST_F(ContainerTest, StreamSaveWritesVersionAndLoadRestoresTheStateButNotFromAShortStream) {
    com_ptr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, control.As(&persist));
    ASSERT_EQ(S_OK, persist->InitNew());
    SIZEL extent = {5000, 2500};
    ASSERT_EQ(S_OK, control->SetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(S_OK, persist->IsDirty());

    com_ptr<IStream> stream;
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_EQ(S_OK, persist->Save(stream.get(), TRUE));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    HGLOBAL global = nullptr;
    ::GetHGlobalFromStream(stream.get(), &global);
    std::string bytes(static_cast<const char*>(::GlobalLock(global)),
                      static_cast<size_t>(stat.cbSize.QuadPart));
    ::GlobalUnlock(global);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(std::string("\x00\x00\x01\x00", 4), bytes.substr(0, 4));
    ULARGE_INTEGER max = {};
    ASSERT_EQ(S_OK, persist->GetSizeMax(&max));
    EXPECT_EQ(bytes.size(), max.QuadPart);

    com_ptr<IOleObject> other;
    ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IOleObject, other.put_void()));
    com_ptr<IPersistStreamInit> otherPersist;
    ASSERT_EQ(S_OK, other.As(&otherPersist));
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, otherPersist->Load(stream.get()));
    SIZEL loaded = {};
    ASSERT_EQ(S_OK, other->GetExtent(DVASPECT_CONTENT, &loaded));
    EXPECT_EQ(5000, loaded.cx);
    EXPECT_EQ(2500, loaded.cy);

    com_ptr<IStream> shortStream;
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, shortStream.put()));
    shortStream->Write("\x00\x00", 2, nullptr);
    shortStream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(shortStream.get())));
}

// A page without <param> tags: the browser's bag has nothing to read.
class EmptyBag : public IPropertyBag {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv =
            IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT*, IErrorLog*) override {
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return S_OK; }
};

TEST_F(ContainerTest, PageWithoutParamsLoadsTheDefaults) {
    com_ptr<IPersistPropertyBag> persist;
    ASSERT_EQ(S_OK, control.As(&persist));
    EmptyBag empty;
    EXPECT_EQ(S_OK, persist->Load(&empty, nullptr));
}

TEST_F(ContainerTest, UnknownNamesAndIdsWrongCountsAndArgumentsWithoutTextAreRefused) {
    com_ptr<IDispatch> disp;
    ASSERT_EQ(S_OK, control.As(&disp));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"TavNoSuchMethod")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(99, nullptr, 0));
    VARIANT args[5];
    for (VARIANT& v : args) {
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(L"kim");
    }
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(1, args, 1));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(6, args, 3)); // three of five login strings

    // TavOpenP2PCall(strID, strName, ...) with strName an array: DISPPARAMS
    // holds the arguments last first, so strName sits at index 3.
    ::SysFreeString(args[3].bstrVal);
    args[3].vt = VT_ARRAY | VT_VARIANT;
    args[3].parray = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    UINT argErr = 99;
    VARIANT result;
    ::VariantInit(&result);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Call(6, args, 5, &result, &argErr));
    EXPECT_EQ(3u, argErr);
    EXPECT_EQ(VT_EMPTY, result.vt);
    for (VARIANT& v : args)
        ::VariantClear(&v);
}

// The About box is modal; a second thread finds it, reads it and presses OK.
TEST_F(ContainerTest, AboutBoxShowsDialog1AndReturnsWhenClosed) {
    std::atomic<bool> found{false};
    std::string line1;
    std::thread closer([&] {
        for (int i = 0; i < 200 && !found; ++i) {
            HWND box = ::FindWindowA(nullptr, "About TavWebOmblet Control");
            if (!box) {
                ::Sleep(50);
                continue;
            }
            found = true;
            for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                char text[128] = {};
                ::GetWindowTextA(c, text, sizeof(text));
                if (line1.empty() && std::string(text).find("Version 1.0") != std::string::npos)
                    line1 = text;
            }
            ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    });
    HRESULT hr = Call(DISPID_ABOUTBOX, nullptr, 0);
    closer.join();
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(found);
    EXPECT_EQ("TavWebOmblet Control, Version 1.0", line1);
}

// A host enumerating advise connections before any Advise gets an empty
// enumerator, not success with nothing to call.
TEST_F(ContainerTest, EnumAdviseBeforeAdviseGivesAnEmptyEnumerator) {
    com_ptr<IEnumSTATDATA> advises;
    ASSERT_EQ(S_OK, control->EnumAdvise(advises.put()));
    ASSERT_TRUE(advises);
    STATDATA data = {};
    ULONG fetched = 1;
    EXPECT_EQ(S_FALSE, advises->Next(1, &data, &fetched));
    EXPECT_EQ(0u, fetched);
}

// A window of the page's thread whose WM_APP drops the page's reference, as
// page script could while a method of the control runs.
struct ReleaseDuringMethod {
    com_ptr<IDispatch>* disp;
    const Module* module;
    HRESULT unloadDuring;

    static LRESULT CALLBACK Proc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg != WM_APP)
            return ::DefWindowProcA(hWnd, msg, wParam, lParam);
        auto* self =
            reinterpret_cast<ReleaseDuringMethod*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
        self->disp->reset();
        self->unloadDuring = self->module->CanUnloadNow();
        return 0;
    }
};

// Page script can drop its last reference while a method runs (here while
// the About box is up): the control must live until the method returns.
TEST_F(ContainerTest, MethodKeepsItsControlAliveWhileItRuns) {
    com_ptr<IDispatch> disp;
    ASSERT_EQ(S_OK, control.As(&disp));
    control.reset();
    IDispatch* raw = disp.get();

    ReleaseDuringMethod release = {&disp, &module, E_FAIL};
    HWND page = ::CreateWindowExA(0, "STATIC", "page", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(nullptr, page);
    ::SetWindowLongPtrA(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&release));
    ::SetWindowLongPtrA(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ReleaseDuringMethod::Proc));
    // Runs on this thread inside the box's message loop, as script would.
    std::thread closer([page] {
        HWND box = nullptr;
        for (int i = 0; i < 200 && !box; ++i, ::Sleep(50))
            box = ::FindWindowA(nullptr, "About TavWebOmblet Control");
        ::SendMessageA(page, WM_APP, 0, 0);
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(S_OK, raw->Invoke(DISPID_ABOUTBOX, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                &none, nullptr, nullptr, nullptr));
    closer.join();
    ::DestroyWindow(page);
    EXPECT_EQ(S_FALSE, release.unloadDuring) << "the control was destroyed inside its method";
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

// Pages of several threads may put their first controls in place at the
// same moment; each must get its window. A fresh copy of the module makes
// every run the first registration of its window class.
TEST(ActivationRaceTest, ControlsOfSeveralThreadsGoInPlaceAtOnce) {
    const std::string copy = testenv::NewDir("race") + "\\race.ocx";
    ASSERT_TRUE(::CopyFileA(OcxPath().c_str(), copy.c_str(), FALSE));
    Module module(copy);
    ASSERT_TRUE(module.Ok());
    const int kThreads = 6;
    std::atomic<int> waiting{kThreads};
    std::atomic<int> inPlace{0};
    std::vector<std::thread> pages;
    for (int t = 0; t < kThreads; ++t) {
        pages.emplace_back([&] {
            ::CoInitialize(nullptr);
            HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                          100, nullptr, nullptr, nullptr, nullptr);
            TestSite site(host);
            com_ptr<IOleObject> control;
            module.Create(CLSID_TavWebOmblet, IID_IOleObject, control.put_void());
            if (control)
                control->SetClientSite(&site);
            for (--waiting; waiting > 0;)
                ::Sleep(0);
            if (control) {
                if (control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, &site.pos) ==
                    S_OK)
                    ++inPlace;
                control->Close(OLECLOSE_NOSAVE);
                control->SetClientSite(nullptr);
            }
            control.reset();
            ::DestroyWindow(host);
            ::CoUninitialize();
        });
    }
    for (std::thread& page : pages)
        page.join();
    EXPECT_EQ(kThreads, inPlace.load());
}

TEST(ModuleLifetimeTest, CanUnloadOnlyWhenNoObjectOrLockRemains) {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    Module module;
    ASSERT_TRUE(module.Ok());
    ASSERT_EQ(S_OK, module.CanUnloadNow());
    for (const CLSID& clsid : {CLSID_TavWebOmblet, PropPageClsid()}) {
        com_ptr<IUnknown> object;
        ASSERT_EQ(S_OK, module.Create(clsid, IID_IUnknown, object.put_void()));
        EXPECT_EQ(S_FALSE, module.CanUnloadNow());
        object.reset();
        EXPECT_EQ(S_OK, module.CanUnloadNow());
    }

    com_ptr<IClassFactory> factory;
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_TavWebOmblet, factory.put()));
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    IUnknown* inner = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(reinterpret_cast<IUnknown*>(&factory), IID_IUnknown,
                                      reinterpret_cast<void**>(&inner)));
    EXPECT_EQ(nullptr, inner);
    factory.reset();
    EXPECT_EQ(S_FALSE, module.CanUnloadNow());
    ASSERT_EQ(S_OK, module.GetClassObject(CLSID_TavWebOmblet, factory.put()));
    ASSERT_EQ(S_OK, factory->LockServer(FALSE));
    factory.reset();
    EXPECT_EQ(S_OK, module.CanUnloadNow());
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, module.GetClassObject(IID_IDispatch, factory.put()));
    ::CoUninitialize();
}

} // namespace
