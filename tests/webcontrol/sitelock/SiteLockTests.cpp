// The site lock: a page in a browser may script the control only from a
// site the deployment lists, found as a browser shows it through the
// control's sites; a host that never asked for safety is not checked.

#include "Fixtures.h"
#include "OmbletClient.h"
#include "PageBrowser.h"
#include "StandIn.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <shlguid.h>
#include <servprov.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace wctest;

namespace {

const wchar_t kPolicyKey[] = L"SOFTWARE\\Tav\\TavWebOmblet";
const wchar_t kPolicyValue[] = L"AllowedSites";

// The deployment's list for the length of a test; what was there before
// comes back afterwards.
class AllowedSitesValue {
public:
    AllowedSitesValue() {
        m_hadTav = KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tav");
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        m_hadKey = true;
        DWORD size = 0;
        if (::RegQueryValueExW(key, kPolicyValue, nullptr, &m_type, nullptr, &size) ==
            ERROR_SUCCESS) {
            m_data.resize(size);
            m_hadValue = ::RegQueryValueExW(key, kPolicyValue, nullptr, &m_type, m_data.data(),
                                            &size) == ERROR_SUCCESS;
        }
        ::RegCloseKey(key);
    }
    ~AllowedSitesValue() {
        if (!m_hadTav) {
            DeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tav");
        } else if (!m_hadKey) {
            ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPolicyKey);
        } else if (m_hadValue) {
            Set(m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
        } else {
            Remove();
        }
    }
    AllowedSitesValue(const AllowedSitesValue&) = delete;
    AllowedSitesValue& operator=(const AllowedSitesValue&) = delete;

    void Write(const std::vector<std::wstring>& sites) {
        std::wstring list;
        for (const std::wstring& site : sites)
            list += site + L'\0';
        list += L'\0';
        Set(REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list.data()),
            static_cast<DWORD>(list.size() * sizeof(wchar_t)));
    }
    void Remove() {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, KEY_SET_VALUE, &key) ==
            ERROR_SUCCESS) {
            ::RegDeleteValueW(key, kPolicyValue);
            ::RegCloseKey(key);
        }
    }

private:
    void Set(DWORD type, const BYTE* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicyKey, 0, nullptr, 0,
                                                   KEY_SET_VALUE, nullptr, &key, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, kPolicyValue, 0, type, data, size));
        ::RegCloseKey(key);
    }

    bool m_hadTav = false;
    bool m_hadKey = false;
    bool m_hadValue = false;
    DWORD m_type = 0;
    std::vector<BYTE> m_data;
};

// A page's site as a container gives it: a browser's, which offers the
// browser as a service, or one that only names the page by its moniker.
class PageSite : public IOleClientSite, public IServiceProvider {
public:
    enum Kind { Browser, MonikerOnly };
    explicit PageSite(Kind kind) : m_kind(kind) {}
    std::wstring url;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *ppv = static_cast<IOleClientSite*>(this);
        else if (m_kind == Browser && IsEqualIID(riid, IID_IServiceProvider))
            *ppv = static_cast<IServiceProvider*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (!IsEqualGUID(service, SID_SWebBrowserApp))
            return E_NOINTERFACE;
        com_ptr<IWebBrowser2> browser;
        browser.attach(NewPageBrowser(url.c_str()));
        return browser ? browser->QueryInterface(riid, ppv) : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD which, IMoniker** ppmk) override {
        *ppmk = nullptr;
        if (m_kind != MonikerOnly || which != OLEWHICHMK_CONTAINER || url.empty())
            return E_FAIL;
        return ::CreateURLMonikerEx(nullptr, url.c_str(), ppmk, URL_MK_UNIFORM);
    }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** pp) override {
        *pp = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

private:
    Kind m_kind;
};

// The control as a browser holds it: created, then asked to be safe for
// untrusted callers and data before page script may touch it.
class SiteLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        ASSERT_TRUE(module.Ok());
        ASSERT_EQ(S_OK, module.Create(CLSID_TavWebOmblet, IID_IOleObject, control.put_void()));
        com_ptr<IObjectSafety> safety;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_IObjectSafety, safety.put_void()));
        const DWORD options = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
        ASSERT_EQ(S_OK, safety->SetInterfaceSafetyOptions(IID_IDispatch, options, options));
        policy.Write({L"https://portal.example.com", L"https://*.example.net",
                      L"portal.example.org", L"http://*"});
    }
    void TearDown() override {
        control.reset();
        ::CoUninitialize();
    }
    void SetSite(PageSite* site) {
        com_ptr<IObjectWithSite> withSite;
        ASSERT_EQ(S_OK, control.As(&withSite));
        ASSERT_EQ(S_OK, withSite->SetSite(static_cast<IOleClientSite*>(site)));
    }
    // The method's result, -1 when the call itself failed.
    long Call(DISPID id, std::vector<std::wstring> args = {}) {
        com_ptr<IDispatch> disp;
        if (FAILED(control.As(&disp)))
            return -1;
        std::vector<VARIANT> vars(args.size());
        for (size_t i = 0; i < args.size(); ++i) {
            vars[args.size() - 1 - i].vt = VT_BSTR;
            vars[args.size() - 1 - i].bstrVal = ::SysAllocString(args[i].c_str());
        }
        DISPPARAMS params = {vars.data(), nullptr, static_cast<UINT>(vars.size()), 0};
        VARIANT result;
        ::VariantInit(&result);
        HRESULT hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                  &result, nullptr, nullptr);
        for (VARIANT& v : vars)
            ::VariantClear(&v);
        return FAILED(hr) ? -1 : result.vt == VT_I4 ? result.lVal : 0;
    }

    AllowedSitesValue policy;
    AppPathsEntry installed{"C:\\Apps\\Omblet\\ombletplus.exe"};
    Module module;
    com_ptr<IOleObject> control;
};

// TavOBInstalled answers 1 here (the client's entry exists) unless refused.
TEST_F(SiteLockTest, OnlyPagesOnListedSitesMayCallWhicheverSiteNamesThem) {
    const struct {
        const wchar_t* url;
        long result;
    } pages[] = {
        {L"https://portal.example.com/app/login.html", 1},
        {L"https://PORTAL.Example.COM/", 1},
        {L"https://portal.example.com:443/", 1},
        {L"https://kim@portal.example.com/", 1},
        {L"https://www.example.net/", 1},
        {L"https://example.net/", 0},
        {L"http://portal.example.com/", 0},
        {L"https://portal.example.com:8443/", 0},
        {L"https://portal.example.com:65979/", 0}, // WinINet reads 443
        {L"https://portal.example.com.evil.test/", 0},
        {L"https://portal.example.com@evil.test/", 0},
        {L"https://evil.test/?https://portal.example.com", 0},
        {L"https://evil.test\\@portal.example.com/", 0},
        {L"https://portal.example.org/", 0}, // listed without a scheme
        {L"http://evil.test/", 0},           // "http://*" is no rule
        {L"about:blank", 0},
        {L"", 0},
    };
    PageSite site(PageSite::Browser);
    for (bool objectSite : {true, false}) {
        if (objectSite)
            SetSite(&site);
        else
            ASSERT_EQ(S_OK, control->SetClientSite(&site));
        // One control throughout: the page may navigate between calls.
        for (const auto& page : pages) {
            SCOPED_TRACE(Narrow(page.url) + (objectSite ? " (object site)" : " (client site)"));
            site.url = page.url;
            EXPECT_EQ(page.result, Call(1));
        }
        SetSite(nullptr);
        control->SetClientSite(nullptr);
    }
}

TEST_F(SiteLockTest, PageNamedOnlyByTheContainersMonikerIsJudgedByIt) {
    PageSite site(PageSite::MonikerOnly);
    ASSERT_EQ(S_OK, control->SetClientSite(&site));
    site.url = L"https://portal.example.com/app";
    EXPECT_EQ(1, Call(1));
    site.url = L"https://portal.example.com.evil.test/app";
    EXPECT_EQ(0, Call(1));
    control->SetClientSite(nullptr);
}

TEST_F(SiteLockTest, PageThatCannotBeNamedIsRefused) {
    EXPECT_EQ(0, Call(1)) << "no site";
    PageSite site(PageSite::MonikerOnly); // and no moniker either
    ASSERT_EQ(S_OK, control->SetClientSite(&site));
    EXPECT_EQ(0, Call(1)) << "a site that knows no page";
    control->SetClientSite(nullptr);
}

TEST_F(SiteLockTest, OnlyTheValuesAbsenceTurnsTheLockOff) {
    PageSite site(PageSite::Browser);
    SetSite(&site);
    site.url = L"https://evil.test/";
    policy.Remove();
    EXPECT_EQ(1, Call(1)) << "no list: every page, as without the lock";
    policy.Write({});
    site.url = L"https://portal.example.com/";
    EXPECT_EQ(0, Call(1)) << "an empty list: no page";
    SetSite(nullptr);
}

// Every start would show in the stand-in's log (it plays the updater too),
// every message as well; a stored login would show when the client is next
// started with it.
TEST_F(SiteLockTest, RefusedPageStartsSendsAndStoresNothing) {
    StandIn standIn;
    ASSERT_TRUE(standIn.Use(testenv::NewDir("client")));
    AppPathsEntry entry(standIn.Program());
    SystemFile updater{COmbletClient().m_szSystemDir + std::string("\\TavUpdate.exe")};
    ASSERT_TRUE(::CopyFileA(standIn.Program().c_str(), updater.path.c_str(), FALSE));
    ASSERT_TRUE(standIn.Start());
    PageSite site(PageSite::Browser);
    SetSite(&site);

    site.url = L"https://portal.example.com/";
    ASSERT_EQ(1, Call(1)) << "the client's folder is known before the page changes";
    site.url = L"https://evil.test/";
    std::atomic<bool> called{false};
    std::atomic<bool> aboutShown{false};
    std::thread closer([&] {
        while (!called) {
            if (HWND box = ::FindWindowA(nullptr, "About TavWebOmblet Control")) {
                aboutShown = true;
                ::PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            ::Sleep(50);
        }
    });
    const std::wstring id = L"evil", name = L"Evil", password = L"evilpw";
    EXPECT_EQ(0, Call(1));
    EXPECT_EQ(0, Call(2));
    EXPECT_EQ(0, Call(3, {id, name, password}));
    EXPECT_EQ(0, Call(4));
    EXPECT_EQ(0, Call(5, {id, name, password}));
    EXPECT_EQ(0, Call(6, {id, name, password, L"lee", L"Lee"}));
    EXPECT_EQ(0, Call(7, {id, name, password, L"lee,Lee"}));
    EXPECT_EQ(0, Call(8, {id, name, password, L"room"}));
    EXPECT_EQ(0, Call(DISPID_ABOUTBOX));
    StandIn::Settle();
    called = true;
    closer.join();
    EXPECT_FALSE(aboutShown);
    EXPECT_EQ("", standIn.Log());

    // Back on the portal with the client gone: it is started with the login
    // stored before, which is none.
    ::PostMessageA(::FindWindowA(nullptr, "OmbletPlus"), WM_CLOSE, 0, 0);
    // "closed" is logged while the window is still being destroyed.
    for (int i = 0; i < 200 && ::FindWindowA(nullptr, "OmbletPlus"); ++i)
        ::Sleep(50);
    ASSERT_EQ(nullptr, ::FindWindowA(nullptr, "OmbletPlus"));
    site.url = L"https://portal.example.com/";
    Call(5, {L"", L"", L""});
    EXPECT_TRUE(
        standIn.WaitForLine("start /messenger /s:on /user::\"\" /p: /msgrtitle:\"TavWebOmblet\""))
        << standIn.Log();
    SetSite(nullptr);
}

// cscript never asks the control to be safe: it runs with the user's rights.
TEST(SiteLockScriptHostTest, LocalScriptHostIsNotCheckedWithTheLockOn) {
    AllowedSitesValue policy;
    policy.Write({L"https://portal.example.com"});
    AppPathsEntry installed("C:\\Apps\\Omblet\\ombletplus.exe");
    RegisteredControl control;
    ASSERT_TRUE(control.ok);
    EXPECT_EQ(RunPage("WScript.Echo(o.TavOBInstalled());\r\n"), std::vector<std::string>{"1"});
}

} // namespace
