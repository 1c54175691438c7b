#include "EngineTest.h"

#include <objbase.h>

namespace {

// COM and the library left as the call found them.
void ExpectReleased(const std::string& library) {
    EXPECT_EQ(nullptr, ::GetModuleHandleA(library.c_str())) << library << " left loaded";
    const HRESULT hr = ::CoInitialize(nullptr);
    EXPECT_EQ(S_OK, hr) << "COM left initialised on the calling thread";
    if (SUCCEEDED(hr))
        ::CoUninitialize();
}

// A copy of a stand-in library of its own, so each sees its own record.
std::string Library(const std::string& path, const char* built) {
    EXPECT_TRUE(
        ::CopyFileA((testenv::BinDir() + "\\" + built + ".dll").c_str(), path.c_str(), FALSE));
    return path;
}

// Faults: a module registered that was not selected, not marked R (lower
// case, or an 'R' that is the second byte of a Hangul syllable) or is no
// server; a selected one skipped; a server called without COM on the thread;
// COM or the library left behind.
TEST(Register, SelectedModulesMarkedRAreRegisteredWithComAndReleased) {
    const std::string dir = testenv::NewDir("register");
    const struct {
        const char* name;
        const char* built; // null: a text file
        const char* option;
        int download;
        bool registered;
    } cases[] = {{"selected.dll", "app_fixture_regserver", "R", 1, true},
                 {"current.dll", "app_fixture_regserver", "R", 0, false},
                 {"plain.dll", "app_fixture_regserver", "FE", 1, false},
                 {"lower.dll", "app_fixture_regserver", "r", 1, false},
                 {"hangul.dll", "app_fixture_regserver", "\x81\x52", 1, false},
                 {"noexport.dll", "app_fixture_noexport", "R", 1, false},
                 {"text.dll", nullptr, "R", 1, false},
                 {"forced.dll", "app_fixture_regserver", "xFRE", 1, true}};
    CAULMgr manager;
    for (const auto& c : cases) {
        const std::string path = dir + "\\" + c.name;
        ASSERT_TRUE(c.built ? !Library(path, c.built).empty() : testenv::WriteFile(path, "text"));
        AddModule(manager, path, "", c.option, c.download);
    }
    EXPECT_EQ(1, manager.RegisterModule());
    for (const auto& c : cases) {
        const std::string path = dir + "\\" + c.name;
        // com=1 (S_FALSE): COM was already initialised on the caller's thread.
        EXPECT_EQ(c.registered ? "registered com=1\n" : "", testenv::ReadFile(path + ".reg"))
            << c.name;
        ExpectReleased(path);
    }
}

// A server whose DllRegisterServer fails (E_FAIL): the stage's lines stay as
// for a call made, with a level-1 line of the result beside them. Fault: the
// result dropped, a refused registration counted as done.
TEST(Register, ServerThatRefusesIsTracedAndCountsAsFailed) {
    const std::string dir = testenv::NewDir("register_refused");
    const std::string path = Library(dir + "\\refuses.dll", "app_fixture_regserver");
    TraceRecorder trace;
    CAULMgr manager;
    AddModule(manager, path, "", "R", 1);
    EXPECT_EQ(1, manager.RegisterModule());
    EXPECT_EQ("registered com=1\n", testenv::ReadFile(path + ".reg"));
    EXPECT_TRUE(trace.Has(3, "RegisterModule : _RegisterControl(" + path + ") OK")) << trace.Dump();
    EXPECT_TRUE(trace.Has(1, path + " : DllRegisterServer returned 0x80004005")) << trace.Dump();
    EXPECT_EQ(1, manager.FailedModules());
    ExpectReleased(path);
}

// Fault: what a module imports taken from the updater's current folder (or
// PATH, or the updater's own folder), where a user may have put a library of
// that name, rather than from the module's own folder.
TEST(Register, ModuleImportsComeFromItsOwnFolderNotTheCurrentOne) {
    const std::string own = testenv::NewDir("register_own"), cwd = testenv::NewDir("register_cwd");
    const std::string module = Library(own + "\\dependent.dll", "app_fixture_regdependent");
    Library(own + "\\app_fixture_dependency.dll", "app_fixture_dependency");
    Library(cwd + "\\app_fixture_dependency.dll", "app_fixture_dependency");
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(cwd.c_str()));
    CAULMgr manager;
    AddModule(manager, module, "", "R", 1);
    manager.RegisterModule();
    ::SetCurrentDirectoryA(previous);
    EXPECT_EQ("registered com=1\n", testenv::ReadFile(module + ".reg"));
    EXPECT_EQ("loaded\n", testenv::ReadFile(own + "\\app_fixture_dependency.dll.loaded"));
    EXPECT_EQ("", testenv::ReadFile(cwd + "\\app_fixture_dependency.dll.loaded"));
}

} // namespace
