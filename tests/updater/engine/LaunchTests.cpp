#include "AULMgr.h"
#include "AppName.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kNothingToRun[] = "ERROR, 실행할 모듈도  기본 실행 파일도 없습니다";
const char kDefaultWarning[] =
    "LaunchModule :  경고, 실행할 모듈이 없습니다. 기본 실행 파일을 실행합니다";

// The stand-in program's record of its start: command line, working folder,
// "process thread" IDs. Waits a bounded while, since the program runs on its own.
std::vector<std::string> Started(const std::string& program) {
    std::string log = program + ".log";
    for (int i = 0; i < 600 && !testenv::FileExists(log); ++i)
        ::Sleep(50);
    std::vector<std::string> lines;
    std::istringstream in(testenv::ReadFile(log));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    lines.resize(3);
    return lines;
}

// Finds the engine's message boxes from another thread and dismisses them,
// as the user would; counts them and those that show the nothing-to-start text.
class MessageBoxWatcher {
public:
    MessageBoxWatcher() {
        m_thread = std::thread([this] {
            for (; !m_stop; ::Sleep(20)) {
                HWND box = ::FindWindowA("#32770", AfxGetAppName().c_str());
                if (!box)
                    continue;
                m_told += ::FindWindowExA(box, nullptr, "Static", kNothingToRun) != nullptr;
                ++m_seen;
                ::PostMessageA(box, WM_COMMAND, IDOK, 0);
                while (::IsWindow(box) && !m_stop)
                    ::Sleep(20);
            }
        });
    }
    ~MessageBoxWatcher() {
        m_stop = true;
        m_thread.join();
    }
    std::atomic<int> m_seen{0}, m_told{0};

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

class LaunchTest : public ::testing::Test {
protected:
    std::string Program(const std::string& name) {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(::CopyFileA((testenv::BinDir() + "\\tav_fixture_recordstart.exe").c_str(),
                                path.c_str(), FALSE));
        return path;
    }
    std::vector<std::string> LaunchTraces() const {
        std::vector<std::string> launch;
        for (const auto& t : trace.Texts())
            if (t.rfind("LaunchModule", 0) == 0)
                launch.push_back(t);
        return launch;
    }

    // A folder with a blank in its name, as program folders usually have.
    std::string dir = testenv::NewDir("Omblet Client");
    TraceRecorder trace;
    CAULMgr manager;
};

// Faults: an unquoted path split at its blank, a missing blank, the wrong
// working folder (a bare name has none of its own: the current one), the
// process and thread handles of a start kept open.
TEST_F(LaunchTest, ProgramStartsWithItsQuotedPathInItsOwnFolder) {
    std::string program = Program("client.exe");
    Program("bare.exe");
    char saved[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    for (const std::string& path : {program, std::string("bare.exe")}) {
        EXPECT_EQ(1, manager._ExecuteApp(path, "")) << trace.Dump();
        auto started = Started(path == program ? program : dir + "\\bare.exe");
        EXPECT_EQ("\"" + path + "\" ", started[0]);
        EXPECT_EQ(0, _stricmp(dir.c_str(), started[1].c_str())) << started[1];
        EXPECT_TRUE(trace.Has(3, path + " : CreateProcess ====> OK")) << trace.Dump();
        unsigned long process = 0, thread = 0;
        ASSERT_EQ(2, std::sscanf(started[2].c_str(), "%lu %lu", &process, &thread));
        for (UINT_PTR value = 4; value < 0x10000; value += 4) {
            HANDLE h = reinterpret_cast<HANDLE>(value);
            EXPECT_NE(process, ::GetProcessId(h));
            EXPECT_NE(thread, ::GetThreadId(h));
        }
    }
    ::SetCurrentDirectoryA(saved);
}

// Too long a path is refused, not overrunning the path buffers.
TEST_F(LaunchTest, ProgramThatCannotStartIsReportedWithTheSystemError) {
    for (const std::string& path :
         {dir + "\\missing.exe", "C:\\" + std::string(300, 'd') + "\\x.exe"}) {
        trace.Clear();
        EXPECT_EQ(0, manager._ExecuteApp(path, ""));
        std::vector<std::string> errors = trace.Texts(1);
        ASSERT_EQ(1u, errors.size()) << trace.Dump();
        EXPECT_EQ(0u, errors[0].rfind(path + " : CreateProcess ERROR. EC=", 0)) << errors[0];
        EXPECT_EQ(' ', errors[0].back());
        EXPECT_EQ(std::string::npos, errors[0].find("EC=0 "));
    }
}

// Faults: modules started out of order or unmarked ones started; the default
// program tried although a marked module was (even one that failed); no
// default started, or no warning, when nothing is marked.
TEST_F(LaunchTest, ModulesMarkedEStartInListOrderOtherwiseTheDefault) {
    std::string first = Program("first.exe"), second = Program("second.exe");
    std::string defaults[] = {Program("default0.exe"), Program("default1.exe"),
                              Program("default2.exe")};
    std::string gone = dir + "\\gone.exe", library = dir + "\\library.dll";
    struct {
        std::vector<std::pair<std::string, std::string>> modules; // path, option
        std::vector<std::string> traces, started;
    } cases[] = {
        {{{first, "RE"}, {library, "FR"}, {second, "E"}, {dir + "\\lower.exe", "e"}},
         {"LaunchModule : _ExecuteApp(" + first + ") OK",
          "LaunchModule : _ExecuteApp(" + second + ") OK"},
         {first, second}},
        {{{gone, "E"}}, {"LaunchModule : _ExecuteApp(" + gone + ") "}, {}},
        {{{library, "FR"}},
         {kDefaultWarning, "LaunchModule : _ExecuteApp(" + defaults[2] + ") OK"},
         {defaults[2]}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        CAULMgr fresh;
        fresh.m_config.defaultExecFile = defaults[i];
        for (const auto& m : cases[i].modules) {
            fresh.m_modules.push_back(std::make_unique<ModuleRecord>());
            fresh.m_modules.back()->localFile = m.first;
            fresh.m_modules.back()->updateOption = m.second;
            fresh.m_modules.back()->download = i % 2; // plays no part
        }
        trace.Clear();
        MessageBoxWatcher boxes;
        EXPECT_EQ(1, fresh.LaunchModule());
        EXPECT_EQ(STATUS_LAUNCH, fresh.m_nStatus);
        EXPECT_EQ(cases[i].traces, LaunchTraces()) << trace.Dump();
        for (const std::string& program : cases[i].started)
            EXPECT_FALSE(Started(program)[0].empty()) << program;
        EXPECT_EQ(i == 2, testenv::FileExists(defaults[i] + ".log"));
        EXPECT_EQ(0, boxes.m_seen);
    }
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
        EXPECT_EQ(1, boxes.m_seen) << "setting " << setting;
        EXPECT_EQ(1, boxes.m_told) << "setting " << setting;
        EXPECT_EQ(std::vector<std::string>{std::string("LaunchModule :  ") + kNothingToRun},
                  trace.Texts(1))
            << trace.Dump();
    }
}

} // namespace
