#include "AULMgr.h"
#include "AppName.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kNothingToRun[] = "ERROR, 실행할 모듈도  기본 실행 파일도 없습니다";
const char kDefaultWarning[] =
    "LaunchModule :  경고, 실행할 모듈이 없습니다. 기본 실행 파일을 실행합니다";

struct StartRecord {
    std::string commandLine;
    std::string folder;
    DWORD processId = 0;
    DWORD threadId = 0;
};

// What the stand-in program wrote once it ran; waits for it to appear, a
// bounded while, since the program runs on its own.
bool WaitForStart(const std::string& program, StartRecord& record) {
    std::string log = program + ".log";
    for (int i = 0; i < 600 && !testenv::FileExists(log); ++i)
        ::Sleep(50);
    std::string text = testenv::ReadFile(log);
    size_t first = text.find('\n');
    if (first == std::string::npos)
        return false;
    size_t second = text.find('\n', first + 1);
    if (second == std::string::npos)
        return false;
    record.commandLine = text.substr(0, first);
    record.folder = text.substr(first + 1, second - first - 1);
    unsigned long process = 0, thread = 0;
    std::sscanf(text.c_str() + second + 1, "%lu %lu", &process, &thread);
    record.processId = process;
    record.threadId = thread;
    return true;
}

// Watches for the engine's message box from another thread, keeps what it
// said and dismisses it, as the user would.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                HWND box = ::FindWindowA("#32770", AfxGetAppName().c_str());
                if (box) {
                    Inspect(box);
                    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
                    while (::IsWindow(box) && !m_stop)
                        ::Sleep(20);
                }
                ::Sleep(20);
            }
        });
    }
    ~MessageBoxWatcher() {
        m_stop = true;
        m_thread.join();
    }
    int Seen() const { return m_seen; }
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }

private:
    void Inspect(HWND box) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (HWND child = ::GetWindow(box, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            char text[256] = {};
            ::GetWindowTextA(child, text, sizeof(text));
            m_texts.push_back(text);
        }
        ++m_seen;
    }

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_seen{0};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    for (const auto& t : texts)
        if (t == text)
            return true;
    return false;
}

class LaunchTest : public ::testing::Test {
protected:
    // A folder with a blank in its name, as program folders usually have.
    void SetUp() override { dir = testenv::NewDir("Program Files") + "\\Omblet Client"; }

    std::string Program(const std::string& name) {
        ::CreateDirectoryA(dir.c_str(), nullptr);
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(::CopyFileA((testenv::BinDir() + "\\tav_fixture_recordstart.exe").c_str(),
                                path.c_str(), FALSE));
        return path;
    }
    void AddModule(const std::string& local, const std::string& option, int download = 0) {
        auto r = std::make_unique<ModuleRecord>();
        r->localFile = local;
        r->remoteFile = "/m.exe";
        r->updateOption = option;
        r->download = download;
        manager.m_modules.push_back(std::move(r));
    }
    std::vector<std::string> LaunchTraces() const {
        std::vector<std::string> launch;
        for (const auto& t : trace.Texts())
            if (t.rfind("LaunchModule", 0) == 0)
                launch.push_back(t);
        return launch;
    }

    std::string dir;
    TraceRecorder trace;
    CAULMgr manager;
};

// Faults: an unquoted path split at its blank, a missing blank, the wrong
// working folder.
TEST_F(LaunchTest, ProgramStartsWithItsQuotedPathInItsOwnFolder) {
    std::string program = Program("client.exe");
    EXPECT_EQ(1, manager._ExecuteApp(program, ""));
    StartRecord started;
    ASSERT_TRUE(WaitForStart(program, started));
    EXPECT_EQ("\"" + program + "\" ", started.commandLine);
    EXPECT_EQ(0, _stricmp(dir.c_str(), started.folder.c_str())) << started.folder;
    EXPECT_TRUE(trace.Has(3, program + " : CreateProcess ====> OK")) << trace.Dump();
}

// A bare program name has no folder of its own; it starts in the current one.
TEST_F(LaunchTest, BareProgramNameStartsInTheCurrentFolder) {
    std::string program = Program("bare.exe");
    char saved[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    int started = manager._ExecuteApp("bare.exe", "");
    ::SetCurrentDirectoryA(saved);
    EXPECT_EQ(1, started) << trace.Dump();
    StartRecord record;
    ASSERT_TRUE(WaitForStart(program, record));
    EXPECT_EQ("\"bare.exe\" ", record.commandLine);
    EXPECT_EQ(0, _stricmp(dir.c_str(), record.folder.c_str())) << record.folder;
}

TEST_F(LaunchTest, ProgramThatCannotStartIsReportedWithTheSystemError) {
    std::string missing = dir + "\\missing.exe";
    EXPECT_EQ(0, manager._ExecuteApp(missing, ""));
    EXPECT_TRUE(trace.HasPrefix(1, missing + " : CreateProcess ERROR. EC=")) << trace.Dump();
    std::vector<std::string> errors = trace.Texts(1);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(' ', errors[0].back());
    EXPECT_EQ(std::string::npos, errors[0].find("EC=0 "));

    // Too long for a program path: refused, not overrunning the path buffers.
    std::string tooLong = "C:\\" + std::string(300, 'd') + "\\x.exe";
    EXPECT_EQ(0, manager._ExecuteApp(tooLong, ""));
    EXPECT_TRUE(trace.HasPrefix(1, tooLong + " : CreateProcess ERROR. EC=")) << trace.Dump();
}

// Whether any handle of this process still refers to the started program's
// process or main thread.
bool HoldsHandleTo(const StartRecord& started) {
    for (UINT_PTR value = 4; value < 0x10000; value += 4) {
        HANDLE h = reinterpret_cast<HANDLE>(value);
        if (::GetProcessId(h) == started.processId || ::GetThreadId(h) == started.threadId)
            return true;
    }
    return false;
}

// Fault: the process and thread handles of a start kept open.
TEST_F(LaunchTest, StartedProgramLeavesNoHandlesBehind) {
    std::string program = Program("handles.exe");
    ASSERT_EQ(1, manager._ExecuteApp(program, ""));
    StartRecord started;
    ASSERT_TRUE(WaitForStart(program, started));
    ASSERT_NE(0u, started.processId);
    EXPECT_FALSE(HoldsHandleTo(started));
}

TEST_F(LaunchTest, ModulesMarkedEStartInListOrderAndTheDefaultIsNotTried) {
    std::string first = Program("first.exe");
    std::string second = Program("second.exe");
    std::string fallback = Program("default.exe");
    manager.m_config.defaultExecFile = fallback;
    AddModule(first, "RE", 1);
    AddModule(dir + "\\library.dll", "FR", 1);
    AddModule(second, "E", 0); // the download flag plays no part
    AddModule(dir + "\\lower.exe", "e", 0);

    MessageBoxWatcher boxes;
    EXPECT_EQ(1, manager.LaunchModule());
    EXPECT_EQ(STATUS_LAUNCH, manager.m_nStatus);
    std::vector<std::string> expected = {"LaunchModule : _ExecuteApp(" + first + ") OK",
                                         "LaunchModule : _ExecuteApp(" + second + ") OK"};
    EXPECT_EQ(expected, LaunchTraces()) << trace.Dump();
    StartRecord record;
    EXPECT_TRUE(WaitForStart(first, record));
    EXPECT_TRUE(WaitForStart(second, record));
    EXPECT_FALSE(testenv::FileExists(fallback + ".log"));
    EXPECT_EQ(0, boxes.Seen());
}

// Fault: falling back to the default program, or telling the user, when the
// only marked module fails to start.
TEST_F(LaunchTest, MarkedModuleThatFailsStillCountsAsTried) {
    std::string fallback = Program("default.exe");
    manager.m_config.defaultExecFile = fallback;
    std::string missing = dir + "\\gone.exe";
    AddModule(missing, "E");

    MessageBoxWatcher boxes;
    EXPECT_EQ(1, manager.LaunchModule());
    EXPECT_EQ(std::vector<std::string>{"LaunchModule : _ExecuteApp(" + missing + ") "},
              LaunchTraces())
        << trace.Dump();
    EXPECT_TRUE(trace.HasPrefix(1, missing + " : CreateProcess ERROR. EC="));
    EXPECT_FALSE(trace.Has(2, kDefaultWarning));
    EXPECT_EQ(0, boxes.Seen());
}

TEST_F(LaunchTest, WithoutMarkedModulesTheDefaultProgramStartsWithAWarning) {
    std::string fallback = Program("default.exe");
    manager.m_config.defaultExecFile = fallback;
    AddModule(dir + "\\library.dll", "FR", 1);

    MessageBoxWatcher boxes;
    EXPECT_EQ(1, manager.LaunchModule());
    std::vector<std::string> expected = {kDefaultWarning,
                                         "LaunchModule : _ExecuteApp(" + fallback + ") OK"};
    EXPECT_EQ(expected, LaunchTraces()) << trace.Dump();
    StartRecord record;
    ASSERT_TRUE(WaitForStart(fallback, record));
    EXPECT_EQ("\"" + fallback + "\" ", record.commandLine);
    EXPECT_EQ(0, boxes.Seen());

    // An empty list (nothing fetched) falls back the same way.
    CAULMgr fresh;
    fresh.m_config.defaultExecFile = fallback;
    trace.Clear();
    EXPECT_EQ(1, fresh.LaunchModule());
    EXPECT_TRUE(trace.Has(2, kDefaultWarning)) << trace.Dump();
}

// The one message box of a pass: it appears, the user dismisses it, and only
// then does the stage end, with 0.
TEST_F(LaunchTest, NothingToStartTellsTheUserAndFails) {
    for (std::string setting : {std::string(), dir + "\\no-such-default.exe"}) {
        CAULMgr fresh;
        fresh.m_config.defaultExecFile = setting;
        trace.Clear();
        MessageBoxWatcher boxes;
        EXPECT_EQ(0, fresh.LaunchModule());
        EXPECT_EQ(1, boxes.Seen()) << "setting " << setting;
        EXPECT_TRUE(Contains(boxes.Texts(), kNothingToRun)) << "setting " << setting;
        EXPECT_EQ(std::vector<std::string>{std::string("LaunchModule :  ") + kNothingToRun},
                  trace.Texts(1))
            << trace.Dump();
    }
}

} // namespace
