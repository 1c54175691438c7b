#include "WebControlTestSupport.h"
#include "UniqueHandle.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shlguid.h>
#include <urlmon.h>

#include <algorithm>
#include <sstream>

// sitelock/PageBrowser.c: a browser that knows only its page's address.
extern "C" IWebBrowser2* NewPageBrowser(const wchar_t* url);

namespace wctest {

namespace {

template <typename Done> bool WaitUntil(Done done, int seconds = 20) {
    for (int i = 0; i < seconds * 20 && !done(); ++i)
        ::Sleep(50);
    return done();
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

} // namespace

std::string SystemDir() {
    char dir[MAX_PATH] = {};
    ::GetSystemDirectoryA(dir, MAX_PATH);
    return dir;
}

std::string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return std::string(text, text + wcslen(text)); // ASCII only
}

bool KeyExists(HKEY root, const std::string& path) {
    unique_hkey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::string ReadValue(HKEY root, const std::string& path, const char* name) {
    unique_hkey key;
    char data[2048];
    DWORD size = sizeof(data), type = 0;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
        return "<missing>";
    const std::string value(data, size);
    return type == REG_SZ ? value.c_str() : value;
}

MachineValue::MachineValue(const std::string& key, const char* name, DWORD type,
                           const std::string& data)
    : key(key) {
    unique_hkey handle;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          handle.put(), nullptr) == ERROR_SUCCESS)
        ::RegSetValueExA(handle.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
}

ScopedFile::ScopedFile(std::string at, const std::string& from) : path(std::move(at)) {
    if (!from.empty())
        ok = ::CopyFileA(from.c_str(), path.c_str(), FALSE) != 0;
}

ScopedFile::~ScopedFile() {
    WaitUntil(
        [this] { return ::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; });
}

std::vector<std::string> RunPage(const std::string& body) {
    const std::string path = testenv::NewDir("page") + "\\page.js";
    std::string output;
    const bool done = testenv::WriteFile(path, "var o = new ActiveXObject(\"" +
                                                   std::string(kProgID) + "\");\r\n" + body) &&
                      testenv::RunProcess("cscript.exe //nologo \"" + path + "\"", &output) != -1;
    std::vector<std::string> lines = NonEmptyLines(output);
    if (!done)
        lines.push_back("(page timed out)");
    return lines;
}

template <typename Fn> Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

HRESULT Module::GetClassObject(REFCLSID clsid, IClassFactory** factory) const {
    auto fn = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(m_h, "DllGetClassObject");
    return fn ? fn(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory)) : E_FAIL;
}

HRESULT Module::CanUnloadNow() const {
    auto fn = Export<HRESULT(STDAPICALLTYPE*)()>(m_h, "DllCanUnloadNow");
    return fn ? fn() : E_FAIL;
}

HRESULT Module::Create(REFCLSID clsid, REFIID riid, void** ppv) const {
    com_ptr<IClassFactory> factory;
    HRESULT hr = GetClassObject(clsid, factory.put());
    return FAILED(hr) ? hr : factory->CreateInstance(nullptr, riid, ppv);
}

long CallMethod(IUnknown* control, DISPID id, const std::vector<std::wstring>& args) {
    com_ptr<IDispatch> disp;
    if (FAILED(control->QueryInterface(IID_IDispatch, disp.put_void())))
        return -1;
    // DISPPARAMS holds the arguments last first.
    std::vector<VARIANT> vars(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        vars[args.size() - 1 - i].vt = VT_BSTR;
        vars[args.size() - 1 - i].bstrVal =
            ::SysAllocStringLen(args[i].data(), static_cast<UINT>(args[i].size()));
    }
    DISPPARAMS params = {vars.data(), nullptr, static_cast<UINT>(vars.size()), 0};
    VARIANT result;
    ::VariantInit(&result);
    const HRESULT hr = disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    &result, nullptr, nullptr);
    for (VARIANT& v : vars)
        ::VariantClear(&v);
    return FAILED(hr) ? -1 : result.vt == VT_I4 ? result.lVal : 0;
}

HRESULT Site::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (m_host && (IsEqualIID(riid, IID_IOleInPlaceSite) || IsEqualIID(riid, IID_IOleWindow)))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (m_page == Browser && IsEqualIID(riid, IID_IServiceProvider))
        *ppv = static_cast<IServiceProvider*>(this);
    else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT Site::GetMoniker(DWORD, DWORD which, IMoniker** ppmk) {
    *ppmk = nullptr;
    if (m_page != Moniker || which != OLEWHICHMK_CONTAINER || url.empty())
        return E_FAIL;
    return ::CreateURLMonikerEx(nullptr, url.c_str(), ppmk, URL_MK_UNIFORM);
}

HRESULT Site::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT posRect,
                               LPRECT clipRect, LPOLEINPLACEFRAMEINFO) {
    *frame = nullptr;
    *doc = nullptr;
    *posRect = *clipRect = pos;
    return S_OK;
}

HRESULT Site::QueryService(REFGUID service, REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (!IsEqualGUID(service, SID_SWebBrowserApp))
        return E_NOINTERFACE;
    com_ptr<IWebBrowser2> browser;
    browser.attach(NewPageBrowser(url.c_str()));
    return browser ? browser->QueryInterface(riid, ppv) : E_OUTOFMEMORY;
}

StandIn::~StandIn() {
    Close();
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", nullptr);
    SetNoWindow(false);
}

bool StandIn::Use(const std::string& dir, bool copy) {
    Close();
    m_dir = dir;
    m_log = dir + "\\ombletplus.log";
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", m_log.c_str());
    SetNoWindow(false);
    return !copy ||
           ::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(), Program().c_str(), FALSE);
}

bool StandIn::Start() {
    ::ShellExecuteA(nullptr, nullptr, Program().c_str(), "", nullptr, SW_SHOWNORMAL);
    const bool up = WaitForWindow();
    ::DeleteFileA(m_log.c_str());
    return up;
}

bool StandIn::Close() {
    return WaitUntil(
        [] {
            HWND window = ::FindWindowA(nullptr, "OmbletPlus");
            if (window)
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            return window == nullptr;
        },
        10);
}

std::string StandIn::Log() const {
    return testenv::ReadFile(m_log);
}

std::vector<std::string> StandIn::Lines() const {
    return NonEmptyLines(Log());
}

bool StandIn::WaitForLine(const std::string& wanted) const {
    return WaitUntil([&] {
        const std::vector<std::string> lines = Lines();
        return std::find(lines.begin(), lines.end(), wanted) != lines.end();
    });
}

bool StandIn::WaitForWindow() {
    return WaitUntil([] { return ::FindWindowA(nullptr, "OmbletPlus") != nullptr; });
}

} // namespace wctest
