#pragma once
// Test environment under Wine: the scratch folder the runner made for this
// test program, processes, and loopback servers started on demand through the
// fixture broker (they stop when the owner goes, also when a test fails).

#include "UniqueHandle.h"

#include <string>
#include <vector>

namespace testenv {

// Folder of the running test program (where the other built programs lie too).
std::string BinDir();
// Windows path of the program's scratch folder, removed after the run.
std::string ScratchDir();
// A new empty folder below the scratch folder; Windows path.
std::string NewDir(const std::string& name);
std::string ToUnix(const std::string& windowsPath); // Z:\a\b -> /a/b, for the broker
std::string ToWindows(const std::string& unixPath); // /a/b -> Z:\a\b

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& data);
bool FileExists(const std::string& path);
bool SetFileTime(const std::string& path, long long unixSeconds); // last write, UTC
// Names in the folder that match the pattern, without "." and "..".
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern = "*");
// Starts a program in the folder given (empty: ours), its standard output and
// error going to the inheritable handle given (null: nowhere).
unique_handle StartProcess(const std::string& commandLine, const std::string& folder = "",
                           HANDLE output = nullptr);
// Runs a program to its end, bounded in time: its exit code, or -1 when it did
// not start or did not end in time (it is ended then). Its output, standard and
// error, goes to *output when asked for.
int RunProcess(const std::string& commandLine, std::string* output = nullptr,
               unsigned long timeoutMs = 120000);

// The entries of a log file as "<source> <level> <text>", each line checked
// for the stamp before them (date, time to the millisecond, process, thread);
// a line without it, or without its line end, as "?" and the whole line.
std::vector<std::string> LogEntries(const std::string& path);

} // namespace testenv

// The administrator's TraceLevel and TraceFile under HKLM\<key> (the 32-bit
// registry view a package writes, or the native one Group Policy writes)
// for one scope; the values, and the key when it is left empty, go with it.
struct LogPolicyValues {
    LogPolicyValues(const std::string& key, DWORD level, const std::string& file,
                    REGSAM view = KEY_WOW64_32KEY);
    ~LogPolicyValues();
    const std::string key;
    const REGSAM view;
};

// The body the scripted server sends for size=N: byte i is (i * 31 + 7) & 0xFF,
// so every byte value (CR, LF and NUL too) occurs.
std::string ScriptedBody(size_t size);

// Puts the broker's test CA into this Wine prefix's machine Root store, so the
// "tls" server's certificate is trusted here, and nowhere else.
bool TrustTestCa();

// Variants: see tests/fixtures/broker.py.
class FixtureServer {
public:
    static FixtureServer Ftp(const std::string& rootDir, const std::string& variant = "");
    static FixtureServer Vsftpd(const std::string& rootDir, const std::string& variant = "");
    static FixtureServer Nginx(const std::string& rootDir, const std::string& variant = "");
    static FixtureServer Script(const std::string& rootDir, const std::string& variant = "");
    // A proxy; with a user, one that asks for that login (basic).
    static FixtureServer Squid(const std::string& user = "", const std::string& password = "");

    FixtureServer(FixtureServer&& other) noexcept;
    FixtureServer& operator=(FixtureServer&&) = delete;
    ~FixtureServer();

    bool Ok() const { return m_id != 0; }
    const std::string& Error() const { return m_error; }
    int Port() const { return m_port; }
    // Request log (nginx access log or the scripted server's log), Windows path.
    const std::string& LogPath() const { return m_log; }
    // Number of logged requests whose line contains the text.
    int CountRequests(const std::string& text) const;
    void Stop();

private:
    explicit FixtureServer(const std::string& command);
    int m_id = 0, m_port = 0;
    std::string m_log, m_error;
};

// Sends one line to the broker and returns its answer line.
std::string BrokerCall(const std::string& line);

// Polls until the predicate holds; false when the time runs out.
template <typename F> bool WaitFor(F predicate, int seconds = 20) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (predicate())
            return true;
        ::Sleep(50);
    }
    return predicate();
}
