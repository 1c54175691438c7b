#pragma once
// The stand-in messenger client (fixtures/OmbletStandIn.cpp) as the tests
// see it: a copy in its own folder, its log, its window; and the registry
// and system-folder entries that point the control at it.

#include <string>
#include <utility>
#include <vector>

class StandIn {
public:
    StandIn() = default;
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;
    // Closes every client window that is still up.
    ~StandIn();

    // Copies the built stand-in into dir and sends its log there.
    bool Install(const std::string& dir);
    // Logs to dir, where something else is to put the client.
    void Adopt(const std::string& dir);
    const std::string& Dir() const { return m_dir; }
    std::string Program() const { return m_dir + "\\ombletplus.exe"; }
    // A client that logs its start and never opens its window.
    void SetNoWindow(bool on);

    std::string Log() const;
    std::vector<std::string> Lines() const;
    int CountLines(const std::string& prefix) const;
    void ClearLog();
    // Bounded waits for what a process started through the shell does later.
    bool WaitForLine(const std::string& line) const;
    bool WaitForWindow() const;
    // Time for a start that should not have happened to show in the log.
    static void Settle();
    static void CloseAll();

private:
    std::string m_dir;
    std::string m_log;
};

// The client's App Paths entry in HKLM, removed again when the object goes.
class AppPathsEntry {
public:
    explicit AppPathsEntry(const std::string& value);
    ~AppPathsEntry() { Remove(); }
    AppPathsEntry(const AppPathsEntry&) = delete;
    AppPathsEntry& operator=(const AppPathsEntry&) = delete;
    static void Remove();
};

// A file placed where the control expects the updater, removed afterwards.
class SystemFile {
public:
    explicit SystemFile(std::string path) : m_path(std::move(path)) {}
    ~SystemFile();
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;
    bool CopyFrom(const std::string& source);
    bool Write(const std::string& data);

private:
    std::string m_path;
};
