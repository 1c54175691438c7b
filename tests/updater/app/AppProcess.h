#pragma once
// TavUpdate.exe started as a user would, and the means to look at its
// windows from outside: find them, read their texts, press keys.

#include "Fixtures.h"

#include <functional>
#include <string>

class AppProcess {
public:
    AppProcess() = default;
    ~AppProcess();
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;

    // Starts BinDir()\TavUpdate.exe in the folder, with the argument text
    // after the quoted program path (empty: no argument).
    bool Start(const std::string& folder, const std::string& arguments);
    // Waits for the process to end: its exit code, -1 when it did not end in
    // time. Ends: with exit code 0.
    int ExitCode(int seconds);
    bool Ends(int seconds) { return ExitCode(seconds) == 0; }
    // A visible dialog of the process that the test accepts; null when none
    // appears in time.
    HWND WaitDialog(const std::function<bool(HWND)>& accept, int seconds) const;
    // The process's top-level windows now, shown or hidden.
    int TopLevelWindows() const;

private:
    unique_handle m_process;
};

std::string WindowText(HWND hWnd);
std::string ItemText(HWND dialog, int id);
// Lets the window's thread handle everything already posted to it.
void Settle(HWND hWnd);
