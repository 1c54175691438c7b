#pragma once
// Shared by the web control's tests (one source file per program): the module,
// a container's site, scoped registry values and files, the stand-in client.

#include <windows.h>
#include <objsafe.h>
#include <ocidl.h>
#include <olectl.h>

#include "ComPtr.h"
#include "Fixtures.h"

#include <optional>
#include <string>
#include <vector>

namespace wctest {

const char kProgID[] = "TAVWEBOMBLET.TavWebOmbletCtrl.1";
const CLSID kPropPageClsid = {
    0xFE4F5263, 0x11D5, 0x4724, {0x95, 0xBA, 0xA9, 0x78, 0x98, 0x3B, 0x63, 0x69}};
const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OmbletPlus.exe";

std::string OcxPath();
// The system folder as a 32-bit program names it, where the control looks.
std::string SystemDir();
int Regsvr32(bool unregister);
std::string GuidText(REFGUID guid);
bool KeyExists(HKEY root, const std::string& path);
// The value's bytes (a string's up to its end), or "<missing>".
std::string ReadValue(HKEY root, const std::string& path, const char* name);
void DeleteTree(HKEY root, const std::string& path);
std::vector<std::string> NonEmptyLines(const std::string& text);

// A value under HKEY_LOCAL_MACHINE for one scope, in the registry view given
// (0: the program's own); its key goes with it.
struct MachineValue {
    MachineValue(const std::string& key, const char* name, DWORD type, const std::string& data,
                 REGSAM view = 0);
    ~MachineValue();
    const std::string key;
    const REGSAM view;
};

struct AppPathsEntry : MachineValue {
    explicit AppPathsEntry(const std::string& program);
};

// A copy of a file for one scope, removed once a program started from it ends.
struct ScopedFile {
    ScopedFile(std::string at, const std::string& from);
    ~ScopedFile();
    const std::string path;
    const bool ok;
};

// The lines a JScript body echoes under cscript, with the control in o.
std::vector<std::string> RunPage(const std::string& body);

// The module, left loaded: objects of a failed test may still point into it.
class Module {
public:
    explicit Module(const std::string& path = OcxPath());
    HRESULT GetClassObject(REFCLSID clsid, IClassFactory** factory) const;
    HRESULT CanUnloadNow() const;
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv) const;

private:
    HMODULE m_h;
};

// A scripted method's result with text arguments, -1 when the call failed.
long CallMethod(IUnknown* control, DISPID id, const std::vector<std::wstring>& args = {});

// A container's site on a window of ours; a browser's tells url as its
// top-level page's. Its container is a document at documentUrl, when set
// (an empty one too).
class Site : public IOleClientSite, public IOleInPlaceSite, public IServiceProvider {
public:
    explicit Site(HWND host = nullptr, bool browser = false);
    std::wstring url;
    std::optional<std::wstring> documentUrl;
    // A container that names its page only by a URL moniker, as some hosts do.
    std::wstring pageMoniker;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override; // lives on the stack
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                               LPRECT posRect, LPRECT clipRect,
                                               LPOLEINPLACEFRAMEINFO) override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE OnUIActivate() override;
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override;
    HRESULT STDMETHODCALLTYPE SaveObject() override;
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD which, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    // What the control does not ask of its site.
    HRESULT STDMETHODCALLTYPE ShowObject() override;
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override;
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override;
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override;

private:
    HWND m_host;
    bool m_browser;
};

// The stand-in client, titled "OmbletPlus", logs to its folder's log its
// starts ("start <arguments>") and messages ("copydata <code> <size> <hex>").
class StandIn {
public:
    // Closes every client window; true when all are gone.
    static bool Close();
    // A client that logs its start and never opens its window.
    static void SetNoWindow(bool on);
    // A client whose window thread stops reading messages once it is up.
    static void SetHung(bool on);
    static bool WaitForWindow();

    explicit StandIn(std::string folder);
    StandIn(const StandIn&) = delete;
    ~StandIn();
    std::string Program() const;
    std::string Log() const;
    std::vector<std::string> Lines() const;
    // Starts the client and waits for its window; the log then starts afresh.
    bool Start() const;
    // Bounded wait for what a process started through the shell does later.
    bool WaitForLine(const std::string& wanted) const;

    const std::string dir;
    bool ok;
};

} // namespace wctest
