#pragma once
// Shared by the web control's tests: the module loaded in-process, a
// container's site, registry values and files for one scope, and the
// stand-in messenger client (client/fixtures/OmbletStandIn.cpp).

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>
#include <shlwapi.h>

#include "ComPtr.h"
#include "Fixtures.h"

#include <string>
#include <vector>

namespace wctest {

const char kProgID[] = "TAVWEBOMBLET.TavWebOmbletCtrl.1";
const CLSID kPropPageClsid = {
    0xFE4F5263, 0x11D5, 0x4724, {0x95, 0xBA, 0xA9, 0x78, 0x98, 0x3B, 0x63, 0x69}};
const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OmbletPlus.exe";

inline std::string OcxPath() {
    return testenv::BinDir() + "\\TavWebOmblet.ocx";
}
inline int Regsvr32(bool unregister) {
    return testenv::RunProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u \"" : "\"") +
                               OcxPath() + "\"");
}
inline void DeleteTree(HKEY root, const std::string& path) {
    ::SHDeleteKeyA(root, path.c_str());
}
// The system folder as a 32-bit program names it, where the control looks.
std::string SystemDir();
std::string GuidText(REFGUID guid);
bool KeyExists(HKEY root, const std::string& path);
// The value's bytes (a string's up to its end), or "<missing>".
std::string ReadValue(HKEY root, const std::string& path, const char* name = nullptr);

// A value under HKEY_LOCAL_MACHINE for one scope; its key goes with it.
struct MachineValue {
    MachineValue(const std::string& key, const char* name, DWORD type, const std::string& data);
    ~MachineValue() { DeleteTree(HKEY_LOCAL_MACHINE, key); }
    const std::string key;
};
struct AppPathsEntry : MachineValue {
    explicit AppPathsEntry(const std::string& program)
        : MachineValue(kAppPathsKey, "", REG_SZ, program) {}
};

// A file for one scope, a copy of another when from is given; removed again
// once the program started from it lets go.
struct ScopedFile {
    explicit ScopedFile(std::string at, const std::string& from = "");
    ~ScopedFile();
    const std::string path;
    bool ok = true;
};

// The built control, registered through regsvr32 while the object lives.
struct RegisteredControl {
    RegisteredControl() : ok(Regsvr32(false) == 0) {}
    ~RegisteredControl() { Regsvr32(true); }
    const bool ok;
};

// Runs a JScript body under cscript with the control created in o; returns
// the non-empty lines it echoed, ending in "(page timed out)" if it hung.
std::vector<std::string> RunPage(const std::string& body);

// The control module loaded with LoadLibrary (left loaded: objects of a
// failed test may still point into it) and its class objects.
class Module {
public:
    explicit Module(const std::string& path = OcxPath()) : m_h(::LoadLibraryA(path.c_str())) {}
    bool Ok() const { return m_h != nullptr; }
    HRESULT GetClassObject(REFCLSID clsid, IClassFactory** factory) const;
    HRESULT CanUnloadNow() const;
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv) const;

private:
    HMODULE m_h;
};

// A scripted method's result with text arguments, -1 when the call failed.
long CallMethod(IUnknown* control, DISPID id, const std::vector<std::wstring>& args = {});

// A container's site on a window of ours (client and in-place site); for a
// page, the browser behind it tells url, or only the page's moniker does.
class Site : public IOleClientSite, public IOleInPlaceSite, public IServiceProvider {
public:
    enum Page { NoPage, Browser, Moniker };
    explicit Site(HWND host = nullptr, Page page = NoPage) : m_host(host), m_page(page) {}
    LONG refs = 1;
    int activations = 0;
    int deactivations = 0;
    RECT pos = {10, 10, 110, 60};
    std::wstring url;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ::InterlockedDecrement(&refs); }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD which, IMoniker** ppmk) override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT posRect, LPRECT clipRect,
                                               LPOLEINPLACEFRAMEINFO) override;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override {
        *phwnd = m_host;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override {
        ++activations;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override {
        ++deactivations;
        return S_OK;
    }
    // What the control does not ask of its site.
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

private:
    HWND m_host;
    Page m_page;
};

// The stand-in client: a window titled "OmbletPlus" that logs its starts
// ("start <arguments>") and messages ("copydata <code> <size> <hex|null>").
class StandIn {
public:
    StandIn() = default;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    ~StandIn();

    // Logs to dir; with copy the built stand-in is put there too.
    bool Use(const std::string& dir, bool copy = true);
    const std::string& Dir() const { return m_dir; }
    std::string Program() const { return m_dir + "\\ombletplus.exe"; }
    // Starts the client and waits for its window; the log then starts afresh.
    bool Start();
    // A client that logs its start and never opens its window.
    static void SetNoWindow(bool on) {
        ::SetEnvironmentVariableA("TAV_OMBLET_NOWINDOW", on ? "1" : nullptr);
    }
    // Closes every client window; true when all are gone.
    static bool Close();

    std::string Log() const;
    std::vector<std::string> Lines() const;
    // Bounded waits for what a process started through the shell does later.
    bool WaitForLine(const std::string& line) const;
    static bool WaitForWindow();
    // Time for a start that should not have happened to show in the log.
    static void Settle() { ::Sleep(1000); }

private:
    std::string m_dir;
    std::string m_log;
};

} // namespace wctest
