#pragma once
// The stand-in messenger client (fixtures/OmbletStandIn.cpp) in a folder of
// its own, the registry and system-folder entries that point the control at
// it, and pages run under cscript.

#include <string>
#include <vector>

class StandIn {
public:
    StandIn() = default;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    // Closes every client window that is still up.
    ~StandIn();

    // Logs to dir; with copy the built stand-in is put there too, else
    // something else is to put the client there.
    bool Use(const std::string& dir, bool copy = true);
    const std::string& Dir() const { return m_dir; }
    std::string Program() const { return m_dir + "\\ombletplus.exe"; }
    // Starts the client through the control's own start and waits for its
    // window; the log then starts afresh.
    bool Start();
    // A client that logs its start and never opens its window.
    static void SetNoWindow(bool on);

    std::string Log() const;
    std::vector<std::string> Lines() const;
    int CountLines(const std::string& prefix) const;
    // Bounded waits for what a process started through the shell does later.
    bool WaitForLine(const std::string& line) const;
    static bool WaitForWindow();
    // Time for a start that should not have happened to show in the log.
    static void Settle();

private:
    std::string m_dir;
    std::string m_log;
};

// The client's App Paths entry in HKLM, removed again when the object goes.
struct AppPathsEntry {
    explicit AppPathsEntry(const std::string& value);
    ~AppPathsEntry() { Remove(); }
    static void Remove();
};

// A file placed in the system folder, removed again when the object goes.
struct SystemFile {
    ~SystemFile();
    const std::string path;
};

// The built control, registered through regsvr32 while the object lives.
struct RegisteredControl {
    RegisteredControl();
    ~RegisteredControl();
    bool ok;
};

// Runs a JScript body under cscript with the control created in o; returns
// the non-empty lines it echoed, ending in "(page timed out)" if it hung.
std::vector<std::string> RunPage(const std::string& body);
