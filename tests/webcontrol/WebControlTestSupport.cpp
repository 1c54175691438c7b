#include "WebControlTestSupport.h"
#include "UniqueHandle.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <algorithm>
#include <sstream>

// sitelock/PageObjects.c: a browser that knows only its top-level page's
// address, a document that knows only its own.
extern "C" IWebBrowser2* NewPageBrowser(const wchar_t* url);
extern "C" IOleContainer* NewPageDocument(const wchar_t* url);

namespace wctest {

std::string OcxPath() {
    return testenv::BinDir() + "\\TavWebOmblet.ocx";
}

std::string SystemDir() {
    char dir[MAX_PATH] = {};
    ::GetSystemDirectoryA(dir, MAX_PATH);
    return dir;
}

int Regsvr32(bool unregister) {
    return testenv::RunProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u \"" : "\"") +
                               OcxPath() + "\"");
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
        ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size))
        return "<missing>";
    return type == REG_SZ ? std::string(data) : std::string(data, size);
}

void DeleteTree(HKEY root, const std::string& path) {
    ::SHDeleteKeyA(root, path.c_str());
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line != "\r")
            lines.push_back(line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
    return lines;
}

MachineValue::MachineValue(const std::string& key, const char* name, DWORD type,
                           const std::string& data, REGSAM view)
    : key(key), view(view) {
    unique_hkey handle;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr,
                      handle.put(), nullptr);
    ::RegSetValueExA(handle.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
}

MachineValue::~MachineValue() {
    unique_hkey handle;
    if (!view)
        DeleteTree(HKEY_LOCAL_MACHINE, key);
    else if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | view,
                             handle.put()) == ERROR_SUCCESS)
        ::RegDeleteKeyA(handle.get(), ""); // a key of one value, no subkeys
}

AppPathsEntry::AppPathsEntry(const std::string& program)
    : MachineValue(kAppPathsKey, "", REG_SZ, program) {}

ScopedFile::ScopedFile(std::string at, const std::string& from)
    : path(std::move(at)), ok(::CopyFileA(from.c_str(), path.c_str(), FALSE)) {}

ScopedFile::~ScopedFile() {
    WaitFor(
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

Module::Module(const std::string& path) : m_h(::LoadLibraryA(path.c_str())) {}

HRESULT Module::GetClassObject(REFCLSID clsid, IClassFactory** factory) const {
    using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_h, "DllGetClassObject")));
    return fn ? fn(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory)) : E_FAIL;
}

HRESULT Module::CanUnloadNow() const {
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_h, "DllCanUnloadNow")));
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
    std::vector<VARIANT> vars(args.size()); // DISPPARAMS holds the arguments last first
    for (size_t i = 0; i < args.size(); ++i) {
        vars[args.size() - 1 - i].vt = VT_BSTR;
        vars[args.size() - 1 - i].bstrVal = ::SysAllocString(args[i].c_str());
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

Site::Site(HWND host, bool browser) : m_host(host), m_browser(browser) {}

HRESULT STDMETHODCALLTYPE Site::QueryInterface(REFIID riid, void** ppv) {
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
        *ppv = static_cast<IOleClientSite*>(this);
    else if (m_host && IsEqualIID(riid, IID_IOleInPlaceSite))
        *ppv = static_cast<IOleInPlaceSite*>(this);
    else if (m_browser && IsEqualIID(riid, IID_IServiceProvider))
        *ppv = static_cast<IServiceProvider*>(this);
    return *ppv ? S_OK : E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE Site::AddRef() {
    return 2;
}

ULONG STDMETHODCALLTYPE Site::Release() {
    return 1;
}

HRESULT STDMETHODCALLTYPE Site::QueryService(REFGUID service, REFIID riid, void** ppv) {
    *ppv = nullptr;
    com_ptr<IWebBrowser2> browser;
    if (IsEqualGUID(service, SID_SWebBrowserApp))
        browser.attach(NewPageBrowser(url.c_str()));
    return browser ? browser->QueryInterface(riid, ppv) : E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE Site::GetWindowContext(IOleInPlaceFrame** frame,
                                                 IOleInPlaceUIWindow** doc, LPRECT posRect,
                                                 LPRECT clipRect, LPOLEINPLACEFRAMEINFO) {
    *frame = nullptr;
    *doc = nullptr;
    *posRect = *clipRect = {10, 10, 110, 60};
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Site::GetWindow(HWND* phwnd) {
    *phwnd = m_host;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Site::CanInPlaceActivate() {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Site::OnInPlaceActivate() {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Site::OnInPlaceDeactivate() {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Site::OnUIActivate() {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Site::OnUIDeactivate(BOOL) {
    return S_OK;
}
HRESULT STDMETHODCALLTYPE Site::SaveObject() {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Site::GetMoniker(DWORD, DWORD which, IMoniker** moniker) {
    *moniker = nullptr;
    if (which != OLEWHICHMK_CONTAINER || pageMoniker.empty())
        return E_NOTIMPL;
    return ::CreateURLMonikerEx(nullptr, pageMoniker.c_str(), moniker, URL_MK_UNIFORM);
}

HRESULT STDMETHODCALLTYPE Site::GetContainer(IOleContainer** container) {
    *container = documentUrl ? NewPageDocument(documentUrl->c_str()) : nullptr;
    return *container ? S_OK : E_NOINTERFACE;
}
HRESULT STDMETHODCALLTYPE Site::ShowObject() {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::OnShowWindow(BOOL) {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::RequestNewObjectLayout() {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::Scroll(SIZE) {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::DiscardUndoState() {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::DeactivateAndUndo() {
    return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE Site::OnPosRectChange(LPCRECT) {
    return E_NOTIMPL;
}

bool StandIn::Close() {
    return WaitFor(
        [] {
            HWND window = ::FindWindowA(nullptr, "OmbletPlus");
            if (window)
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            return window == nullptr;
        },
        10);
}

void StandIn::SetNoWindow(bool on) {
    ::SetEnvironmentVariableA("TAV_OMBLET_NOWINDOW", on ? "1" : nullptr);
}

void StandIn::SetHung(bool on) {
    ::SetEnvironmentVariableA("TAV_OMBLET_HUNG", on ? "1" : nullptr);
}

bool StandIn::WaitForWindow() {
    return WaitFor([] { return ::FindWindowA(nullptr, "OmbletPlus") != nullptr; });
}

StandIn::StandIn(std::string folder) : dir(std::move(folder)) {
    Close();
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", (dir + "\\ombletplus.log").c_str());
    SetNoWindow(false);
    SetHung(false);
    ok = ::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(), Program().c_str(), 0);
}

StandIn::~StandIn() {
    Close();
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", nullptr);
    SetNoWindow(false);
    SetHung(false);
}

std::string StandIn::Program() const {
    return dir + "\\ombletplus.exe";
}

std::string StandIn::Log() const {
    return testenv::ReadFile(dir + "\\ombletplus.log");
}

std::vector<std::string> StandIn::Lines() const {
    return NonEmptyLines(Log());
}

bool StandIn::Start() const {
    ::ShellExecuteA(nullptr, nullptr, Program().c_str(), "", nullptr, SW_SHOWNORMAL);
    const bool up = WaitForWindow();
    ::DeleteFileA((dir + "\\ombletplus.log").c_str());
    return up;
}

bool StandIn::WaitForLine(const std::string& wanted) const {
    return WaitFor([&] {
        const std::vector<std::string> lines = Lines();
        return std::find(lines.begin(), lines.end(), wanted) != lines.end();
    });
}

} // namespace wctest
