#include "AppProcess.h"

AppProcess::~AppProcess() {
    // A test that failed half-way must not leave the program behind.
    if (m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.get(), 99);
        ::WaitForSingleObject(m_process.get(), 10000);
    }
}

bool AppProcess::Start(const std::string& folder, const std::string& arguments) {
    const std::string program = "\"" + testenv::BinDir() + "\\TavUpdate.exe\"";
    m_process = testenv::StartProcess(program + (arguments.empty() ? "" : " ") + arguments, folder);
    return static_cast<bool>(m_process);
}

int AppProcess::ExitCode(int seconds) {
    DWORD code = STILL_ACTIVE;
    if (!m_process || ::WaitForSingleObject(m_process.get(), seconds * 1000) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(m_process.get(), &code))
        return -1;
    return static_cast<int>(code);
}

HWND AppProcess::WaitDialog(const std::function<bool(HWND)>& accept, int seconds) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND h = nullptr;
                 (h = ::FindWindowExA(nullptr, h, "#32770", nullptr)) != nullptr;) {
                DWORD pid = 0;
                ::GetWindowThreadProcessId(h, &pid);
                if (pid == ::GetProcessId(m_process.get()) && ::IsWindowVisible(h) && accept(h))
                    return (found = h) != nullptr;
            }
            return false;
        },
        seconds);
    return found;
}

namespace {

struct WindowCount {
    DWORD pid;
    int windows;
};

BOOL CALLBACK CountWindow(HWND h, LPARAM param) {
    WindowCount& count = *reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    count.windows += pid == count.pid;
    return TRUE;
}

} // namespace

int AppProcess::TopLevelWindows() const {
    WindowCount count = {::GetProcessId(m_process.get()), 0};
    ::EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count.windows;
}

// The window's own text: another process's window is not sent a message for
// it, so a busy program cannot hold the test.
std::string WindowText(HWND hWnd) {
    char text[1024] = {};
    return std::string(text, ::GetWindowTextA(hWnd, text, sizeof(text)));
}

std::string ItemText(HWND dialog, int id) {
    return WindowText(::GetDlgItem(dialog, id));
}

void Settle(HWND hWnd) {
    // A message handled means everything posted before it was handled.
    ::Sleep(300);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(hWnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ::Sleep(300);
}
