#pragma once
// Shared by the web control's tests (one source file per program): the module,
// a container's site, scoped registry values and files, the stand-in client.

#include <windows.h>
#include <exdisp.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlwapi.h>
#include <urlmon.h>

#include "ComPtr.h"
#include "Fixtures.h"
#include "UniqueHandle.h"

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// sitelock/PageBrowser.c: a browser that knows only its page's address.
extern "C" IWebBrowser2* NewPageBrowser(const wchar_t* url);

namespace wctest {

const char kProgID[] = "TAVWEBOMBLET.TavWebOmbletCtrl.1";
const CLSID kPropPageClsid = {
    0xFE4F5263, 0x11D5, 0x4724, {0x95, 0xBA, 0xA9, 0x78, 0x98, 0x3B, 0x63, 0x69}};
const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OmbletPlus.exe";

inline std::string OcxPath() {
    return testenv::BinDir() + "\\TavWebOmblet.ocx";
}

// The system folder as a 32-bit program names it, where the control looks.
inline std::string SystemDir() {
    char dir[MAX_PATH] = {};
    ::GetSystemDirectoryA(dir, MAX_PATH);
    return dir;
}

inline int Regsvr32(bool unregister) {
    return testenv::RunProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u \"" : "\"") +
                               OcxPath() + "\"");
}

inline std::string GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return std::string(text, text + wcslen(text)); // ASCII only
}

inline bool KeyExists(HKEY root, const std::string& path) {
    unique_hkey key;
    return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The value's bytes (a string's up to its end), or "<missing>".
inline std::string ReadValue(HKEY root, const std::string& path, const char* name) {
    unique_hkey key;
    char data[2048];
    DWORD size = sizeof(data), type = 0;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size))
        return "<missing>";
    return type == REG_SZ ? std::string(data) : std::string(data, size);
}

inline void DeleteTree(HKEY root, const std::string& path) {
    ::SHDeleteKeyA(root, path.c_str());
}

template <typename Done> bool WaitUntil(Done done, int seconds = 20) {
    for (int i = 0; i < seconds * 20 && !done(); ++i)
        ::Sleep(50);
    return done();
}

inline std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line != "\r")
            lines.push_back(line.back() == '\r' ? line.substr(0, line.size() - 1) : line);
    return lines;
}

// A value under HKEY_LOCAL_MACHINE for one scope; its key goes with it.
struct MachineValue {
    MachineValue(const std::string& key, const char* name, DWORD type, const std::string& data)
        : key(key) {
        unique_hkey handle;
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          handle.put(), nullptr);
        ::RegSetValueExA(handle.get(), name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
    }
    ~MachineValue() { DeleteTree(HKEY_LOCAL_MACHINE, key); }
    const std::string key;
};

struct AppPathsEntry : MachineValue {
    explicit AppPathsEntry(const std::string& program)
        : MachineValue(kAppPathsKey, "", REG_SZ, program) {}
};

// A copy of a file for one scope, removed once a program started from it ends.
struct ScopedFile {
    ScopedFile(std::string at, const std::string& from)
        : path(std::move(at)), ok(::CopyFileA(from.c_str(), path.c_str(), FALSE)) {}
    ~ScopedFile() {
        WaitUntil([this] {
            return ::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
        });
    }
    const std::string path;
    const bool ok;
};

// The lines a JScript body echoes under cscript, with the control in o.
inline std::vector<std::string> RunPage(const std::string& body) {
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

// The module, left loaded: objects of a failed test may still point into it.
class Module {
public:
    explicit Module(const std::string& path = OcxPath()) : m_h(::LoadLibraryA(path.c_str())) {}
    HRESULT GetClassObject(REFCLSID clsid, IClassFactory** factory) const {
        auto fn = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>("DllGetClassObject");
        return fn ? fn(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory)) : E_FAIL;
    }
    HRESULT CanUnloadNow() const {
        auto fn = Export<HRESULT(STDAPICALLTYPE*)()>("DllCanUnloadNow");
        return fn ? fn() : E_FAIL;
    }
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv) const {
        com_ptr<IClassFactory> factory;
        HRESULT hr = GetClassObject(clsid, factory.put());
        return FAILED(hr) ? hr : factory->CreateInstance(nullptr, riid, ppv);
    }

private:
    template <typename Fn> Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(m_h, name)));
    }
    HMODULE m_h;
};

// A scripted method's result with text arguments, -1 when the call failed.
inline long CallMethod(IUnknown* control, DISPID id, const std::vector<std::wstring>& args = {}) {
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

// A container's site on a window of ours; a browser's tells url as the page's.
class Site : public IOleClientSite, public IOleInPlaceSite, public IServiceProvider {
public:
    explicit Site(HWND host = nullptr, bool browser = false) : m_host(host), m_browser(browser) {}
    std::wstring url;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *ppv = static_cast<IOleClientSite*>(this);
        else if (m_host && IsEqualIID(riid, IID_IOleInPlaceSite))
            *ppv = static_cast<IOleInPlaceSite*>(this);
        else if (m_browser && IsEqualIID(riid, IID_IServiceProvider))
            *ppv = static_cast<IServiceProvider*>(this);
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives on the stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        com_ptr<IWebBrowser2> browser;
        if (IsEqualGUID(service, SID_SWebBrowserApp))
            browser.attach(NewPageBrowser(url.c_str()));
        return browser ? browser->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT posRect, LPRECT clipRect,
                                               LPOLEINPLACEFRAMEINFO) override {
        *frame = nullptr;
        *doc = nullptr;
        *posRect = *clipRect = {10, 10, 110, 60};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
        *phwnd = m_host;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    // What the control does not ask of its site.
    // A container that names its page only by a URL moniker, as some hosts do.
    std::wstring pageMoniker;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD which, IMoniker** moniker) override {
        *moniker = nullptr;
        if (which != OLEWHICHMK_CONTAINER || pageMoniker.empty())
            return E_NOTIMPL;
        return ::CreateURLMonikerEx(nullptr, pageMoniker.c_str(), moniker, URL_MK_UNIFORM);
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }

private:
    HWND m_host;
    bool m_browser;
};

// The stand-in client, titled "OmbletPlus", logs to its folder's log its
// starts ("start <arguments>") and messages ("copydata <code> <size> <hex>").
class StandIn {
public:
    // Closes every client window; true when all are gone.
    static bool Close() {
        return WaitUntil(
            [] {
                HWND window = ::FindWindowA(nullptr, "OmbletPlus");
                if (window)
                    ::PostMessageA(window, WM_CLOSE, 0, 0);
                return window == nullptr;
            },
            10);
    }
    // A client that logs its start and never opens its window.
    static void SetNoWindow(bool on) {
        ::SetEnvironmentVariableA("TAV_OMBLET_NOWINDOW", on ? "1" : nullptr);
    }
    static bool WaitForWindow() {
        return WaitUntil([] { return ::FindWindowA(nullptr, "OmbletPlus") != nullptr; });
    }

    explicit StandIn(std::string folder) : dir(std::move(folder)) {
        Close();
        ::SetEnvironmentVariableA("TAV_OMBLET_LOG", (dir + "\\ombletplus.log").c_str());
        SetNoWindow(false);
        ok = ::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(), Program().c_str(), 0);
    }
    StandIn(const StandIn&) = delete;
    ~StandIn() {
        Close();
        ::SetEnvironmentVariableA("TAV_OMBLET_LOG", nullptr);
        SetNoWindow(false);
    }
    std::string Program() const { return dir + "\\ombletplus.exe"; }
    std::string Log() const { return testenv::ReadFile(dir + "\\ombletplus.log"); }
    std::vector<std::string> Lines() const { return NonEmptyLines(Log()); }
    // Starts the client and waits for its window; the log then starts afresh.
    bool Start() const {
        ::ShellExecuteA(nullptr, nullptr, Program().c_str(), "", nullptr, SW_SHOWNORMAL);
        const bool up = WaitForWindow();
        ::DeleteFileA((dir + "\\ombletplus.log").c_str());
        return up;
    }
    // Bounded wait for what a process started through the shell does later.
    bool WaitForLine(const std::string& wanted) const {
        return WaitUntil([&] {
            const std::vector<std::string> lines = Lines();
            return std::find(lines.begin(), lines.end(), wanted) != lines.end();
        });
    }

    const std::string dir;
    bool ok;
};

} // namespace wctest
