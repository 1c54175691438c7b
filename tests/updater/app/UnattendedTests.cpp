// Passes with no window, as the scheduled task runs them.
#include "PassExitCode.h"
#include "PassFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

namespace {

class UnattendedTest : public PassFixture {
protected:
    // The pass's exit code; no top-level window of it may appear while it
    // runs, not even a hidden one.
    int RunUnattended(const std::string& config) {
        EXPECT_TRUE(app.Start(workDir, "\"" + config + "\" /Unattended"));
        int windows = 0, code = -1;
        WaitFor(
            [&] {
                windows = std::max(windows, app.TopLevelWindows());
                return (code = app.ExitCode(0)) != -1;
            },
            120);
        EXPECT_EQ(0, windows);
        return code;
    }
    void ExpectNotStarted(const std::string& program) const {
        ::Sleep(1000);
        EXPECT_FALSE(testenv::FileExists(program + ".ran")) << program;
    }
};

// Faults: the window or a box shown (one nobody at a fleet's desktop would
// dismiss), the client or the default program started, the R module not
// registered as a pass with a window registers it.
TEST_F(UnattendedTest, InstallsAndRegistersWithNoWindowAndStartsNothing) {
    const std::string client = Copy("app_fixture_recorder.exe", Served("client.exe"));
    const std::string control = Copy("app_fixture_regserver.dll", Served("control.dll"));
    const std::string fallback = Copy("app_fixture_recorder.exe", Installed("default.exe"));
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"),
                                   Installed("client.exe") + "|/client.exe|E\n" +
                                       Installed("control.dll") + "|/control.dll|R\n"));
    FixtureServer server = FixtureServer::Nginx(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\pass.ini", Config("HTTP", server.Port(), fallback)));
    EXPECT_EQ(EXIT_PASS_OK, RunUnattended(workDir + "\\pass.ini"));
    EXPECT_EQ(testenv::ReadFile(client), testenv::ReadFile(Installed("client.exe")));
    EXPECT_EQ("registered com=1\n", testenv::ReadFile(Installed("control.dll") + ".reg"));
    ExpectNotStarted(Installed("client.exe"));
    ExpectNotStarted(fallback);
    ExpectNoLogFiles();
}

// Nothing to start, where a pass with a window shows its box and waits.
TEST_F(UnattendedTest, MissingConfigurationEndsWithoutABox) {
    EXPECT_EQ(EXIT_NO_CONFIG, RunUnattended(workDir + "\\missing.ini"));
}

// A page's pass started while the task's pass downloads (300 KB in pieces
// 50 ms apart) waits for it to end before it asks the server anything.
// Fault: the unattended pass outside the machine's one pass at a time.
TEST_F(UnattendedTest, PassWithAWindowWaitsForTheUnattendedOne) {
    FixtureServer server = FixtureServer::Script(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"),
                                   Installed("a.bin") + "|/a.bin?size=300000&slow=50|F\n"));
    const std::string fallback = Copy("app_fixture_recorder.exe", Installed("default.exe"));
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\pass.ini", Config("HTTP", server.Port(), fallback)));
    ASSERT_TRUE(app.Start(workDir, "\"" + workDir + "\\pass.ini\" /unattended"));
    ASSERT_TRUE(WaitFor([&] { return server.CountRequests("/a.bin") > 0; }, 60));
    AppProcess windowed;
    ASSERT_TRUE(windowed.Start(workDir, "\"" + workDir + "\\pass.ini\""));
    EXPECT_EQ(EXIT_PASS_OK, app.ExitCode(120));
    EXPECT_EQ(1, server.CountRequests("TavUpdate.ver"));
    EXPECT_TRUE(windowed.Ends(120));
    EXPECT_EQ(2, server.CountRequests("TavUpdate.ver"));
    ExpectStartedOnce(fallback);
}

const char kSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\TavUpdate";

// The event source as the package registers it, while it lives.
struct EventSource {
    EventSource() {
        unique_hkey key;
        const std::string file = testenv::BinDir() + "\\TavUpdate.exe";
        const DWORD types = 7;
        EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0,
                                                   KEY_SET_VALUE, nullptr, key.put(), nullptr));
        ::RegSetValueExA(key.get(), "EventMessageFile", 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(file.c_str()), DWORD(file.size() + 1));
        ::RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&types), sizeof(types));
    }
    ~EventSource() { ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSourceKey); }
};

// What reached ReportEvent: Wine traces each call's type and event ID, and
// each insertion string on its eventlog channel.
struct Reported {
    std::vector<std::string> calls, strings;
    bool sourceOpened = false;
};

// Wine writes every process's debug channels to the run's one error output,
// which the runner keeps in the scratch folder too.
Reported RunTraced(const std::string& arguments, int& exitCode) {
    const std::string kept = testenv::ScratchDir() + "\\.stderr";
    const size_t start = testenv::ReadFile(kept).size();
    char previous[256] = {};
    ::GetEnvironmentVariableA("WINEDEBUG", previous, sizeof(previous));
    ::SetEnvironmentVariableA("WINEDEBUG", "+eventlog");
    exitCode = testenv::RunProcess("\"" + testenv::BinDir() + "\\TavUpdate.exe\" " + arguments);
    ::SetEnvironmentVariableA("WINEDEBUG", previous[0] ? previous : nullptr);
    // A line of ours after the program's: once it is kept, so is theirs.
    static int marks = 0;
    const std::string mark = "error output mark " + std::to_string(++marks);
    std::fprintf(stderr, "%s\n", mark.c_str());
    std::fflush(stderr);
    std::string output;
    EXPECT_TRUE(WaitFor([&] {
        output = testenv::ReadFile(kept);
        return output.find(mark, start) != std::string::npos;
    }));
    output = output.substr(std::min(start, output.size()));
    Reported reported;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("RegisterEventSourceW (L\"\",L\"TavUpdate\")") != std::string::npos)
            reported.sourceOpened = true;
        size_t at = line.find("advapi:ReportEventW (");
        if (at != std::string::npos)
            reported.calls.push_back(line.substr(line.find(',', at) + 1, 24));
        at = line.find(":eventlog:ReportEventW L\"");
        if (at != std::string::npos)
            reported.strings.push_back(line.substr(at + 25, line.rfind('"') - at - 25));
    }
    return reported;
}

// The text an event viewer of the language shows for the event: the message
// of the event ID in the program's own message table, the strings inserted.
std::wstring Rendered(const std::string& call, const std::vector<std::string>& strings,
                      WORD language) {
    unique_hmodule program(::LoadLibraryExA((testenv::BinDir() + "\\TavUpdate.exe").c_str(),
                                            nullptr, LOAD_LIBRARY_AS_DATAFILE));
    std::vector<std::wstring> wide;
    for (const std::string& s : strings)
        wide.emplace_back(s.begin(), s.end()); // ASCII
    std::vector<const wchar_t*> arguments;
    for (const std::wstring& w : wide)
        arguments.push_back(w.c_str());
    wchar_t text[1024] = {};
    const DWORD id = std::strtoul(call.substr(call.rfind(',') + 1).c_str(), nullptr, 16);
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, program.get(),
                         id, MAKELANGID(language, SUBLANG_DEFAULT), text, 1024,
                         reinterpret_cast<va_list*>(const_cast<wchar_t**>(arguments.data())));
    return std::wstring(text, n);
}

// One event for each unattended pass (information, warning) and for a pass
// with a window that fails, none for one that does not; none without the
// source. Faults: an event without the facts, of the wrong type or ID, one
// written for a watched pass that went well, or written to a source the
// package did not register.
TEST_F(PassFixture, PassesWriteTheirEventOnlyUnderTheRegisteredSource) {
    FixtureServer server = FixtureServer::Nginx(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    const std::string fallback = Copy("app_fixture_recorder.exe", Installed("default.exe"));
    const std::string config = "\"" + workDir + "\\pass.ini\"";
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\pass.ini", Config("HTTP", server.Port(), fallback)));
    const std::vector<std::string> installed = {"0", "/TavUpdate.ver", "-", "1", "0", "-", "-"},
                                   failed = {"5", "/TavUpdate.ver",   "-", "0",
                                             "1", "DownloadNewFiles", "-"};
    const struct {
        bool source;
        const char* arguments;
        const char* module; // served or not
        int exitCode;
        const char* call; // type, category, event ID
        std::vector<std::string> strings;
    } cases[] = {
        {true, " /unattended", "a.bin", EXIT_PASS_OK, "0x0004,0x0000,0x400003e8", installed},
        {true, " /unattended", "gone.bin", EXIT_MODULE_FAILED, "0x0002,0x0000,0x800007d0", failed},
        {true, "", "b.bin", EXIT_PASS_OK, nullptr, {}},
        {true, "", "gone.bin", EXIT_MODULE_FAILED, "0x0002,0x0000,0x800007d0", failed},
        {false, " /unattended", "gone.bin", EXIT_MODULE_FAILED, nullptr, {}},
    };
    ASSERT_TRUE(testenv::WriteFile(Served("a.bin"), "a"));
    ASSERT_TRUE(testenv::WriteFile(Served("b.bin"), "b"));
    for (const auto& c : cases) {
        const std::string label = std::string(c.module) + c.arguments;
        std::optional<EventSource> source;
        if (c.source)
            source.emplace();
        ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"),
                                       Installed(c.module) + "|/" + c.module + "\n"));
        int exitCode = -1;
        const Reported reported = RunTraced(config + c.arguments, exitCode);
        EXPECT_EQ(c.exitCode, exitCode) << label;
        EXPECT_EQ(c.call != nullptr, reported.sourceOpened) << label;
        EXPECT_EQ(c.call ? std::vector<std::string>{c.call} : std::vector<std::string>{},
                  reported.calls)
            << label;
        EXPECT_EQ(c.strings, reported.strings) << label;
        if (c.call && reported.strings.size() == 7) {
            const std::wstring code(c.strings[0].begin(), c.strings[0].end());
            const std::wstring failures = L"failed: " + std::wstring(1, wchar_t(c.strings[4][0]));
            const std::wstring english = Rendered(c.call, reported.strings, LANG_ENGLISH);
            EXPECT_NE(std::wstring::npos, english.find(L"exit code " + code + L" ")) << label;
            EXPECT_NE(std::wstring::npos, english.find(failures)) << label;
            EXPECT_NE(std::wstring::npos,
                      Rendered(c.call, reported.strings, LANG_KOREAN).find(L"종료 코드 " + code))
                << label;
        }
    }
}

} // namespace
