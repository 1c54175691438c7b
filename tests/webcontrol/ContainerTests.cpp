// The control in a container of ours, the module loaded in-process without
// registration: siting, drawing, persistence, dispatch and the module's life.
#include "ComInit.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace wctest;

namespace {

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IOleObject, control.put_void()));
    }

    CComApartment com;
    Module module;
    com_ptr<IOleObject> control;
};

// Drawn into a DIB of a marker colour (pixels 0x00RRGGBB, rows of 64): white
// within the bounds, the ellipse's outline at the top's middle, nothing outside.
TEST_F(ContainerTest, DrawsAWhiteBoxAndItsEllipseOnlyWithinTheBounds) {
    BITMAPINFO bi = {{sizeof(BITMAPINFOHEADER), 64, -64, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    DWORD* px = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(
        dc, ::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&px), nullptr, 0));
    std::fill(px, px + 64 * 64, 0x123456);
    com_ptr<IViewObject2> view;
    RECTL r = {10, 20, 50, 40};
    ASSERT_EQ(S_OK, control.As(&view));
    ASSERT_EQ(S_OK, view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &r, nullptr,
                               nullptr, 0));
    ::GdiFlush();
    auto at = [px](int x, int y) { return px[y * 64 + x] & 0xFFFFFF; };
    EXPECT_TRUE(at(10, 20) == 0xFFFFFF && at(30, 30) == 0xFFFFFF && (!at(30, 20) || !at(30, 21)));
    EXPECT_TRUE(at(9, 30) == 0x123456 && at(50, 30) == 0x123456 && at(30, 40) == 0x123456);
    ::DeleteObject(::SelectObject(dc, old));
    ::DeleteDC(dc);
}

// A page without <param> tags: the browser's bag has nothing to read.
TEST_F(ContainerTest, PageWithoutParamsLoadsTheDefaults) {
    struct EmptyBag : IPropertyBag {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        HRESULT STDMETHODCALLTYPE Read(LPCOLESTR, VARIANT*, IErrorLog*) override {
            return E_INVALIDARG;
        }
        HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return S_OK; }
    } empty;
    com_ptr<IPersistPropertyBag> persist;
    ASSERT_EQ(S_OK, control.As(&persist));
    EXPECT_EQ(S_OK, persist->Load(&empty, nullptr));
}

// Saved state: the version 1.0 (00 00 01 00) and the extent; a stream that
// ends early is refused rather than read as defaults.
TEST_F(ContainerTest, StreamHoldsTheVersionThenTheExtentAndAShortOneFails) {
    com_ptr<IPersistStreamInit> persist;
    com_ptr<IStream> stream;
    ASSERT_EQ(S_OK, control.As(&persist));
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, stream.put()));
    ASSERT_EQ(S_OK, persist->Save(stream.get(), TRUE));
    STATSTG stat = {};
    stream->Stat(&stat, STATFLAG_NONAME);
    ULARGE_INTEGER max = {};
    EXPECT_EQ(S_OK, persist->GetSizeMax(&max));
    EXPECT_EQ(stat.cbSize.QuadPart, max.QuadPart);
    std::string bytes(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    stream->Read(&bytes[0], static_cast<ULONG>(bytes.size()), nullptr);
    ASSERT_EQ(12u, bytes.size());
    EXPECT_EQ(std::string("\0\0\1\0", 4), bytes.substr(0, 4));
    com_ptr<IStream> shortStream;
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, shortStream.put()));
    shortStream->Write(bytes.data(), 6, nullptr);
    shortStream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(shortStream.get())));
}

// Removal finds the type library under the locale it was registered with;
// otherwise it fails there and the classes are never removed after it.
TEST(RegistrationTest, RemovalTakesTheClassesAndTheTypeLibraryAway) {
    const std::string control = "CLSID\\" + GuidText(CLSID_TavWebOmblet);
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, control + "\\InprocServer32"));
    EXPECT_EQ(0, Regsvr32(true));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, control + "\\InprocServer32"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgID));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "TypeLib\\" + GuidText(LIBID_TAVWEBOMBLETLib)));
}

TEST_F(ContainerTest, UnknownNamesAndIdsWrongCountsAndArgumentsWithoutTextAreRefused) {
    com_ptr<IDispatch> disp;
    ASSERT_EQ(S_OK, control.As(&disp));
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"TavNoSuchMethod")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    // TavOpenP2PCall(strID, strName, ...) with strName an array: DISPPARAMS
    // holds the arguments last first, so strName sits at index 3.
    VARIANT args[5] = {}; // VT_EMPTY but for strName
    args[3].vt = VT_ARRAY | VT_VARIANT;
    args[3].parray = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    UINT argErr = 99;
    auto invoke = [&](DISPID member, UINT count) {
        DISPPARAMS params = {args, nullptr, count, 0};
        return disp->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                            nullptr, nullptr, &argErr);
    };
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, invoke(99, 0));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, invoke(1, 1));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, invoke(6, 3)); // three of five login strings
    EXPECT_EQ(DISP_E_TYPEMISMATCH, invoke(6, 5));
    EXPECT_EQ(3u, argErr);
    ::VariantClear(&args[3]);
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

// Page script may drop its last reference while a method runs (here from the
// About box's loop, through WM_APP to the page's window): the control lives.
struct {
    com_ptr<IDispatch> disp;
    const Module* module;
    HRESULT unloadDuring = E_FAIL;
} g_page;

LRESULT CALLBACK DropPageReference(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_APP)
        return ::DefWindowProcA(hWnd, msg, wParam, lParam);
    g_page.disp.reset();
    g_page.unloadDuring = g_page.module->CanUnloadNow();
    return 0;
}

TEST_F(ContainerTest, MethodKeepsItsControlAliveWhileItRuns) {
    g_page.module = &module;
    ASSERT_EQ(S_OK, control.As(&g_page.disp));
    control.reset();
    IDispatch* raw = g_page.disp.get();
    HWND page = ::CreateWindowExA(0, "STATIC", "page", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  nullptr, nullptr);
    ::SetWindowLongPtrA(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DropPageReference));
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
    EXPECT_EQ(S_FALSE, g_page.unloadDuring) << "the control was destroyed inside its method";
    EXPECT_EQ(S_OK, module.CanUnloadNow());
}

// Pages of several threads put their first controls in place at once; each
// gets its window in its page's (a fresh module registers its class anew).
TEST(ActivationRaceTest, ControlsOfSeveralThreadsGoInPlaceAtOnce) {
    const std::string copy = testenv::NewDir("race") + "\\race.ocx";
    ASSERT_TRUE(::CopyFileA(OcxPath().c_str(), copy.c_str(), FALSE));
    Module module(copy);
    const int kThreads = 6;
    std::atomic<int> waiting{kThreads}, inPlaceWindows{0};
    std::vector<std::thread> pages;
    for (int t = 0; t < kThreads; ++t) {
        pages.emplace_back([&] {
            CComApartment com;
            HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                          100, nullptr, nullptr, nullptr, nullptr);
            Site site(host);
            com_ptr<IOleObject> control;
            com_ptr<IOleInPlaceObject> inPlace;
            HWND child = nullptr;
            module.Create(CLSID_TavWebOmblet, IID_IOleObject, control.put_void());
            for (--waiting; waiting > 0;)
                ::Sleep(0);
            if (control &&
                control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, host, nullptr) ==
                    S_OK &&
                SUCCEEDED(control.As(&inPlace)) && SUCCEEDED(inPlace->GetWindow(&child)) &&
                ::GetParent(child) == host)
                ++inPlaceWindows;
            if (control)
                control->Close(OLECLOSE_NOSAVE);
            ::DestroyWindow(host);
        });
    }
    for (std::thread& page : pages)
        page.join();
    EXPECT_EQ(kThreads, inPlaceWindows.load());
}

} // namespace
