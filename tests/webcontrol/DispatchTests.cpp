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
    DISPID IdOf(const wchar_t* name) {
        DISPID id = 12345;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        HRESULT hr = disp->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return SUCCEEDED(hr) ? id : DISPID_UNKNOWN;
    }
    HRESULT Call(DISPID id, VARIANT* args, UINT count, VARIANT* result = nullptr,
                 UINT* argErr = nullptr) {
        DISPPARAMS params = {args, nullptr, count, 0};
        return disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                            nullptr, argErr);
    }
    Module module;
    ComPtr<IDispatch> disp;
};

TEST_F(DispatchTest, NamesMapToTheirDispatchIdsWhateverTheCase) {
    EXPECT_EQ(1, IdOf(L"TavOBInstalled"));
    EXPECT_EQ(2, IdOf(L"TavOmbletInstall"));
    EXPECT_EQ(3, IdOf(L"TavStartOmblet"));
    EXPECT_EQ(4, IdOf(L"TavStopOmblet"));
    EXPECT_EQ(5, IdOf(L"TavOpenMeetingWindow"));
    EXPECT_EQ(6, IdOf(L"TavOpenP2PCall"));
    EXPECT_EQ(7, IdOf(L"TavOpenMeetingRoom"));
    EXPECT_EQ(8, IdOf(L"TavIntoMeetingRoom"));
    EXPECT_EQ(DISPID_ABOUTBOX, IdOf(L"AboutBox"));
    EXPECT_EQ(1, IdOf(L"tavobinstalled"));
}

TEST_F(DispatchTest, UnknownNameIsReportedAsSuch) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"TavNoSuchMethod")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(DISPID_UNKNOWN, id);
}

TEST_F(DispatchTest, UnknownDispatchIdAndPropertyPutFindNoMember) {
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(99, nullptr, 0));
    VARIANT value;
    value.vt = VT_I4;
    value.lVal = 1;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {&value, &named, 1, 1};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              disp->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr));
}

TEST_F(DispatchTest, WrongArgumentCountIsRefusedBeforeAnythingRuns) {
    VARIANT extra;
    extra.vt = VT_BSTR;
    extra.bstrVal = ::SysAllocString(L"x");
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(1, &extra, 1));
    // Three login strings for a method that takes five.
    VARIANT three[3];
    for (VARIANT& v : three) {
        v.vt = VT_BSTR;
        v.bstrVal = extra.bstrVal;
    }
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(6, three, 3));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(DISPID_ABOUTBOX, three, 1));
    ::SysFreeString(extra.bstrVal);
}

TEST_F(DispatchTest, ArgumentWithoutTextNamesItsPositionAsTheMismatch) {
    // TavOpenP2PCall(strID, strName, ...): strName is an array. DISPPARAMS
    // holds the arguments last first, so strName sits at index 3.
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_VARIANT, 0, 2);
    VARIANT args[5];
    for (VARIANT& v : args) {
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(L"kim");
    }
    ::SysFreeString(args[3].bstrVal);
    args[3].vt = VT_ARRAY | VT_VARIANT;
    args[3].parray = array;
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
    VARIANT result;
    ::VariantInit(&result);
    ASSERT_EQ(S_OK, Call(1, nullptr, 0, &result));
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_TRUE(result.lVal == 0 || result.lVal == 1);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ::VariantInit(&result);
    ASSERT_EQ(S_OK, disp->Invoke(1, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                                 &result, nullptr, nullptr));
    EXPECT_EQ(VT_I4, result.vt);
}

TEST_F(DispatchTest, TypeInformationIsTheDispatchInterface) {
    UINT count = 0;
    ASSERT_EQ(S_OK, disp->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, disp->GetTypeInfo(0, 0, info.put()));
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(DIID__DTavWebOmblet, attr->guid));
    info->ReleaseTypeAttr(attr);
    EXPECT_EQ(DISP_E_BADINDEX, disp->GetTypeInfo(1, 0, info.put()));

    ComPtr<IUnknown> asPrimary;
    EXPECT_EQ(S_OK, disp->QueryInterface(DIID__DTavWebOmblet, asPrimary.put_void()));
}

// The About box is modal; a second thread finds it, reads it and presses OK.
TEST_F(DispatchTest, AboutBoxShowsDialog1AndReturnsWhenClosed) {
    std::atomic<bool> found{false};
    std::string line1;
    std::thread closer([&] {
        for (int i = 0; i < 200 && !found; ++i) {
            HWND box = ::FindWindowA(nullptr, "About TavWebOmblet Control");
            if (box) {
                found = true;
                for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
                    char text[128] = {};
                    ::GetWindowTextA(c, text, sizeof(text));
                    if (line1.empty() && std::string(text).find("Version 1.0") != std::string::npos)
                        line1 = text;
                }
                ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            } else {
                ::Sleep(50);
            }
        }
    });
    HRESULT hr = Call(DISPID_ABOUTBOX, nullptr, 0);
    closer.join();
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(found);
    EXPECT_EQ("TavWebOmblet Control, Version 1.0", line1);
}

} // namespace
