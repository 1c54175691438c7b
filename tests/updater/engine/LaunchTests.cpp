#include "EngineTest.h"

#include <vector>

namespace {

// No shell window while it lives: the prefix's stand-in shell steps down,
// and up again after.
class NoShell {
public:
    NoShell() : m_thread(::GetWindowThreadProcessId(::GetShellWindow(), nullptr)) {
        ::PostMessageA(::GetShellWindow(), WM_APP, 0, 0);
        EXPECT_TRUE(WaitFor([] { return !::GetShellWindow(); }, 30));
    }
    ~NoShell() {
        ::PostThreadMessageA(m_thread, WM_APP + 1, 0, 0);
        EXPECT_TRUE(WaitFor([] { return ::GetShellWindow() != nullptr; }, 30));
    }

private:
    DWORD m_thread;
};

class LaunchTest : public ::testing::Test {
protected:
    std::string Program(const std::string& name) {
        const std::string path = dir + "\\" + name;
        EXPECT_TRUE(::CopyFileA((testenv::BinDir() + "\\app_fixture_recorder.exe").c_str(),
                                path.c_str(), FALSE));
        return path;
    }
    // The stand-in's first start: "command line|working folder". Waited for a
    // bounded while, since the program runs on its own.
    static std::string Started(const std::string& program) {
        const std::string log = program + ".ran";
        WaitFor([&] { return !testenv::ReadFile(log).empty(); }, 30);
        const std::string text = testenv::ReadFile(log);
        return text.substr(0, text.find('\n'));
    }

    // A folder with a blank in its name, as program folders usually have.
    std::string dir = testenv::NewDir("Omblet Client");
    TraceRecorder trace;
    CAULMgr manager;
};

// Faults: an unquoted path split at its blank, the blank after it missing,
// the wrong working folder (a bare name has none of its own: the current
// one), a long path overrunning the path buffers.
TEST_F(LaunchTest, ProgramStartsWithItsQuotedPathInItsOwnFolder) {
    const std::string program = Program("client.exe"), bare = Program("bare.exe");
    char saved[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, saved);
    ASSERT_TRUE(::SetCurrentDirectoryA(dir.c_str()));
    const std::pair<std::string, std::string> starts[] = {{program, program}, {"bare.exe", bare}};
    for (const auto& s : starts) {
        EXPECT_EQ(1, manager._ExecuteApp(s.first, "")) << trace.Dump();
        EXPECT_EQ("\"" + s.first + "\" |" + dir, Started(s.second));
    }
    EXPECT_EQ(0, manager._ExecuteApp("C:\\" + std::string(300, 'd') + "\\x.exe", ""));
    ::SetCurrentDirectoryA(saved);
}

// Faults: modules started out of order or unmarked ones started; the default
// program tried although a marked module was (even one that failed to
// start); no default started when nothing is marked.
TEST_F(LaunchTest, ModulesMarkedEStartInListOrderOtherwiseTheDefault) {
    const std::string first = Program("first.exe"), second = Program("second.exe");
    const std::string gone = dir + "\\gone.exe", library = dir + "\\library.dll";
    const std::string fallback = Program("default.exe");
    const struct {
        std::vector<std::pair<std::string, std::string>> modules; // path, options
        std::vector<std::string> tried;
    } cases[] = {
        {{{first, "RE"}, {library, "FR"}, {second, "E"}, {dir + "\\lower.exe", "e"}},
         {first, second}},
        {{{gone, "E"}}, {gone}},
        {{{library, "FR"}}, {fallback}},
    };
    for (const auto& c : cases) {
        CAULMgr fresh;
        UpdateConfig config;
        config.defaultExecFile = fallback;
        SetConfig(fresh, config);
        for (const auto& m : c.modules)
            AddModule(fresh, m.first, "", m.second, (&c - cases) % 2); // the flag plays no part
        trace.Clear();
        EXPECT_EQ(1, fresh.LaunchModule());
        std::vector<std::string> tried;
        for (const std::string& t : trace.Texts())
            if (t.rfind("LaunchModule : _ExecuteApp(", 0) == 0)
                tried.push_back(t.substr(27, t.find(')') - 27));
        EXPECT_EQ(c.tried, tried) << trace.Dump();
        for (const std::string& program : c.tried)
            EXPECT_TRUE(program == gone || !Started(program).empty()) << program;
    }
}

// Fault: an elevated pass (every process under Wine is) starting a program
// with its own rights when no desktop user's token can be had.
TEST_F(LaunchTest, ElevatedPassStartsNothingWithoutTheDesktopUsersToken) {
    const std::string program = Program("client.exe");
    {
        NoShell none;
        EXPECT_EQ(0, manager._ExecuteApp(program, ""));
        EXPECT_TRUE(trace.Has(1, program + " : ERROR, no desktop user's token", true))
            << trace.Dump();
        EXPECT_TRUE(trace.Has(1, program + " : CreateProcess ERROR. EC=1008 ")) << trace.Dump();
    }
    EXPECT_EQ(1, manager._ExecuteApp(program, "")) << trace.Dump();
    EXPECT_FALSE(Started(program).empty());
    const std::string ran = testenv::ReadFile(program + ".ran");
    EXPECT_EQ(ran.find('\n'), ran.rfind('\n')) << "started without the token: " << ran;
}

} // namespace
