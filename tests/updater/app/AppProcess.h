#pragma once
// TavUpdate.exe started as a user would, and the means to look at its
// windows from outside: find them, read their texts, press keys, close them.

#include "UniqueHandle.h"

#include <windows.h>

#include <string>
#include <vector>

class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts BinDir()\TavUpdate.exe in the folder, with the argument text
    // appended after the quoted program path (empty: no argument).
    bool Start(const std::string& folder, const std::string& arguments);
    // Waits for the process to end; false when it is still running.
    bool WaitExit(int seconds);
    DWORD ExitCode() const;
    DWORD Id() const { return m_pid; }

    // Top-level dialog windows of the process whose title is exactly this text.
    HWND WaitWindow(const std::string& title, int seconds) const;
    HWND FindWindowTitled(const std::string& title) const;
    // The update window (the unowned dialog of the process), whatever its title.
    HWND WaitMainWindow(int seconds) const;
    // A message box of the process: a dialog owned by another window that
    // holds the text; null when none appears in time.
    HWND WaitMessageBox(const std::string& text, int seconds) const;

private:
    std::vector<HWND> Dialogs() const;
    unique_handle m_process;
    DWORD m_pid = 0;
};

std::string WindowText(HWND hWnd);
std::string ItemText(HWND dialog, int id);
// Whether any child window of the dialog shows the text.
bool HasChildText(HWND dialog, const std::string& text);
// Posts a key press (down and up) to the window that has the keyboard focus
// in the dialog's thread, or to the dialog itself, and lets the thread handle it.
void PressKey(HWND dialog, WPARAM key);
// Lets the window's thread handle everything already posted to it.
void Settle(HWND hWnd);

// Polls until the predicate holds; false when the time runs out.
template <typename F> bool WaitFor(F predicate, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (predicate())
            return true;
        ::Sleep(50);
    }
    return predicate();
}

// Last-write time of the file in seconds after 1970, -1 when unreadable.
long long FileTimeOf(const std::string& path);
// Files in the folder whose name matches the pattern (e.g. "*.log").
std::vector<std::string> FilesMatching(const std::string& folder, const std::string& pattern);
