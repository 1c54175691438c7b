#include "AppProcess.h"

#include "Fixtures.h"
#include "UnixTime.h"

AppProcess::~AppProcess() {
    // A test that failed half-way must not leave the program behind.
    if (m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.get(), 99);
        ::WaitForSingleObject(m_process.get(), 10000);
    }
}

bool AppProcess::Start(const std::string& folder, const std::string& arguments) {
    std::string exe = testenv::BinDir() + "\\TavUpdate.exe";
    std::string text = "\"" + exe + "\"";
    if (!arguments.empty())
        text += " " + arguments;
    std::vector<char> commandLine(text.begin(), text.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &info))
        return false;
    ::CloseHandle(info.hThread);
    m_process.reset(info.hProcess);
    m_pid = info.dwProcessId;
    return true;
}

bool AppProcess::WaitExit(int seconds) {
    return m_process && ::WaitForSingleObject(m_process.get(), seconds * 1000) == WAIT_OBJECT_0;
}

DWORD AppProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

namespace {

struct DialogSearch {
    DWORD pid;
    std::vector<HWND> found;
};

// Enumeration callbacks are stdcall on i686; a lambda's function pointer is not.
BOOL CALLBACK CollectDialog(HWND hWnd, LPARAM param) {
    auto* s = reinterpret_cast<DialogSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    char cls[64] = {};
    ::GetClassNameA(hWnd, cls, sizeof(cls));
    if (pid == s->pid && std::string(cls) == "#32770" && ::IsWindowVisible(hWnd))
        s->found.push_back(hWnd);
    return TRUE;
}

struct TextSearch {
    const std::string* text;
    bool found;
};

BOOL CALLBACK MatchChildText(HWND hWnd, LPARAM param) {
    auto* s = reinterpret_cast<TextSearch*>(param);
    if (WindowText(hWnd).find(*s->text) != std::string::npos)
        s->found = true;
    return !s->found;
}

} // namespace

std::vector<HWND> AppProcess::Dialogs() const {
    DialogSearch search = {m_pid, {}};
    ::EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND AppProcess::FindWindowTitled(const std::string& title) const {
    for (HWND h : Dialogs())
        if (WindowText(h) == title)
            return h;
    return nullptr;
}

HWND AppProcess::WaitWindow(const std::string& title, int seconds) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = FindWindowTitled(title)) != nullptr; }, seconds);
    return found;
}

HWND AppProcess::WaitMainWindow(int seconds) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND h : Dialogs())
                if (!::GetWindow(h, GW_OWNER) && ::GetDlgItem(h, 1001))
                    return (found = h) != nullptr;
            return false;
        },
        seconds);
    return found;
}

HWND AppProcess::WaitMessageBox(const std::string& text, int seconds) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND h : Dialogs())
                if (!::GetDlgItem(h, 1001) && HasChildText(h, text))
                    return (found = h) != nullptr;
            return false;
        },
        seconds);
    return found;
}

std::string WindowText(HWND hWnd) {
    char text[1024] = {};
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                               SMTO_ABORTIFHUNG, 5000, &length))
        return std::string();
    return std::string(text, static_cast<size_t>(length));
}

std::string ItemText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    return item ? WindowText(item) : std::string();
}

bool HasChildText(HWND dialog, const std::string& text) {
    TextSearch search = {&text, false};
    ::EnumChildWindows(dialog, MatchChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void Settle(HWND hWnd) {
    // A posted marker handled means everything posted before it was handled.
    ::Sleep(300);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ::Sleep(300);
}

void PressKey(HWND dialog, WPARAM key) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    DWORD thread = ::GetWindowThreadProcessId(dialog, nullptr);
    HWND target = dialog;
    if (::GetGUIThreadInfo(thread, &info) && info.hwndFocus)
        target = info.hwndFocus;
    UINT scan = ::MapVirtualKeyA(static_cast<UINT>(key), 0);
    ::PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
    ::PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
    Settle(dialog);
}

long long FileTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    long long seconds = -1;
    UnixTimeFromFileTime(data.ftLastWriteTime, &seconds);
    return seconds;
}

std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA((folder + "\\" + pattern).c_str(), &data));
    if (!find)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (::FindNextFileA(find.get(), &data));
    return names;
}
