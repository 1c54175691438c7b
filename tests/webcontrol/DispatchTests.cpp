#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace wctest;

namespace {

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ASSERT_TRUE(module.Ok());
        ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IDispatch, disp.put_void()));
    }
    void TearDown() override {
        disp.reset();
        ::CoUninitialize();
    }
    HRESULT Call(DISPID id, VARIANT* args, UINT count, VARIANT* result = nullptr,
                 UINT* argErr = nullptr, WORD flags = DISPATCH_METHOD) {
        DISPPARAMS params = {args, nullptr, count, 0};
        return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                            argErr);
    }
    Module module;
    ComPtr<IDispatch> disp;
};

TEST_F(DispatchTest, UnknownNamesAndIdsWrongCountsAndArgumentsWithoutTextAreRefused) {
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

TEST_F(DispatchTest, InstalledCheckAnswersALongAsMethodOrPropertyGet) {
    for (WORD flags : {WORD(DISPATCH_METHOD), WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET)}) {
        VARIANT result;
        ::VariantInit(&result);
        ASSERT_EQ(S_OK, Call(1, nullptr, 0, &result, nullptr, flags));
        EXPECT_EQ(VT_I4, result.vt);
        EXPECT_TRUE(result.lVal == 0 || result.lVal == 1);
    }
}

// The About box is modal; a second thread finds it, reads it and presses OK.
TEST_F(DispatchTest, AboutBoxShowsDialog1AndReturnsWhenClosed) {
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

} // namespace
