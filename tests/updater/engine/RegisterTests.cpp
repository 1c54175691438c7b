#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace {

class RegisterTest : public ::testing::Test {
protected:
    void SetUp() override { dir = testenv::NewDir("register"); }

    // A copy of a fixture library of its own, so each test sees its own record.
    std::string Library(const std::string& fixture, const std::string& name) {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(
            ::CopyFileA((testenv::BinDir() + "\\" + fixture + ".dll").c_str(), path.c_str(), FALSE))
            << fixture;
        return path;
    }
    static std::string Record(const std::string& library) {
        return testenv::ReadFile(library + ".called");
    }
    // COM must be left as the call found it: uninitialised on this thread.
    static void ExpectComBalanced() {
        HRESULT hr = ::CoInitialize(nullptr);
        EXPECT_EQ(S_OK, hr) << "COM left initialised on the calling thread";
        if (SUCCEEDED(hr))
            ::CoUninitialize();
    }
    static void ExpectUnloaded(const std::string& library) {
        EXPECT_EQ(nullptr, ::GetModuleHandleA(library.c_str())) << library << " left loaded";
    }
    void AddModule(const std::string& local, const std::string& option, int download) {
        auto r = std::make_unique<ModuleRecord>();
        r->localFile = local;
        r->remoteFile = "/m/" + local.substr(local.rfind('\\') + 1);
        r->updateOption = option;
        r->download = download;
        manager.m_modules.push_back(std::move(r));
    }

    std::string dir;
    TraceRecorder trace;
    CAULMgr manager;
};

// Faults: the server called without COM, COM or the library left behind.
TEST_F(RegisterTest, ServerIsCalledWithComInitialisedAndEverythingIsReleased) {
    std::string dll = Library("tav_fixture_regserver", "server.dll");
    EXPECT_EQ(1, manager._RegisterControl(dll));
    // S_FALSE (1) inside: COM was already initialised on the caller's thread.
    EXPECT_EQ("registered com=1\n", Record(dll));
    ExpectUnloaded(dll);
    ExpectComBalanced();
    EXPECT_TRUE(trace.Texts(1).empty()) << trace.Dump();
}

// Fault: uninitialising COM that the call did not initialise.
TEST_F(RegisterTest, ThreadInAnotherApartmentKeepsItsCom) {
    std::string dll = Library("tav_fixture_regserver", "mta.dll");
    ASSERT_EQ(S_OK, ::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(1, manager._RegisterControl(dll));
    // Still initialised (S_FALSE), as before the call.
    EXPECT_EQ(S_FALSE, ::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ::CoUninitialize();
    ::CoUninitialize();
    ExpectComBalanced();
}

TEST_F(RegisterTest, ServerReportingFailureStillCountsAsRegistered) {
    std::string dll = Library("tav_fixture_regserver_fails", "fails.dll");
    EXPECT_EQ(1, manager._RegisterControl(dll));
    EXPECT_EQ("registered com=1\n", Record(dll));
    ExpectUnloaded(dll);
}

TEST_F(RegisterTest, LibraryWithoutTheExportIsReportedAndFreed) {
    std::string dll = Library("tav_fixture_noexport", "noexport.dll");
    EXPECT_EQ(0, manager._RegisterControl(dll));
    EXPECT_TRUE(trace.Has(1, "_RegisterControl : ERROR, GetProcAddress(" + dll +
                                 "), EC=" + std::to_string(ERROR_PROC_NOT_FOUND)))
        << trace.Dump();
    ExpectUnloaded(dll);
    ExpectComBalanced();
}

TEST_F(RegisterTest, FileThatIsNoLibraryIsReportedWithTheSystemError) {
    std::string text = dir + "\\text.dll";
    ASSERT_TRUE(testenv::WriteFile(text, "this is no library\r\n"));
    EXPECT_EQ(0, manager._RegisterControl(text));
    EXPECT_TRUE(trace.HasPrefix(1, "_RegisterControl : ERROR, LoadLibrary(" + text + "), EC="))
        << trace.Dump();
    EXPECT_FALSE(trace.Has(1, "_RegisterControl : ERROR, LoadLibrary(" + text + "), EC=0"));
    ExpectComBalanced();

    std::string missing = dir + "\\missing.dll";
    EXPECT_EQ(0, manager._RegisterControl(missing));
    EXPECT_TRUE(trace.Has(1, "_RegisterControl : ERROR, LoadLibrary(" + missing +
                                 "), EC=" + std::to_string(ERROR_MOD_NOT_FOUND)))
        << trace.Dump();
    ExpectComBalanced();
}

// Fault: registering modules that were not selected, or skipping a selected
// one whose download failed (its old local file is registered again).
TEST_F(RegisterTest, OnlySelectedModulesMarkedRAreRegistered) {
    std::string selected = Library("tav_fixture_regserver", "selected.dll");
    std::string current = Library("tav_fixture_regserver", "current.dll");
    std::string runOnly = Library("tav_fixture_regserver", "runonly.dll");
    std::string plain = Library("tav_fixture_regserver", "plain.dll");
    std::string lower = Library("tav_fixture_regserver", "lower.dll");
    std::string again = Library("tav_fixture_regserver", "again.dll");
    std::string broken = Library("tav_fixture_noexport", "broken.dll");
    AddModule(selected, "R", 1);
    AddModule(current, "R", 0);
    AddModule(runOnly, "RE", 0);
    AddModule(plain, "FE", 1);
    AddModule(lower, "r", 1);
    AddModule(broken, "FR", 1);
    AddModule(again, "xRx", 1); // selected, download failed: flag kept

    EXPECT_EQ(1, manager.RegisterModule());
    EXPECT_EQ(STATUS_REGISTER, manager.m_nStatus);
    EXPECT_EQ("registered com=1\n", Record(selected));
    EXPECT_EQ("registered com=1\n", Record(again));
    EXPECT_EQ("", Record(current));
    EXPECT_EQ("", Record(runOnly));
    EXPECT_EQ("", Record(plain));
    EXPECT_EQ("", Record(lower));

    std::vector<std::string> ok = {"RegisterModule : _RegisterControl(" + selected + ") OK",
                                   "RegisterModule : _RegisterControl(" + again + ") OK"};
    EXPECT_EQ(ok, trace.Texts(3)) << trace.Dump();
    EXPECT_TRUE(trace.Has(1, "RegisterModule : _RegisterControl(" + broken + ") ")) << trace.Dump();
}

} // namespace
