#include "AULMgr.h"
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace {

class RegisterTest : public ::testing::Test {
protected:
    // A copy of a fixture library of its own, so each test sees its own record.
    std::string Library(const std::string& name, const char* fixture = "tav_fixture_regserver") {
        std::string path = dir + "\\" + name;
        EXPECT_TRUE(::CopyFileA((testenv::BinDir() + "\\" + fixture + ".dll").c_str(), path.c_str(),
                                FALSE));
        return path;
    }
    static std::string Record(const std::string& library) {
        return testenv::ReadFile(library + ".called");
    }
    // COM and the library must be left as the call found them.
    static void ExpectReleased(const std::string& library) {
        EXPECT_EQ(nullptr, ::GetModuleHandleA(library.c_str())) << library << " left loaded";
        HRESULT hr = ::CoInitialize(nullptr);
        EXPECT_EQ(S_OK, hr) << "COM left initialised on the calling thread";
        if (SUCCEEDED(hr))
            ::CoUninitialize();
    }

    std::string dir = testenv::NewDir("register");
    TraceRecorder trace;
    CAULMgr manager;
};

// Faults: the server called without COM, COM or the library left behind, a
// failure code taken for a failed registration.
TEST_F(RegisterTest, ServerIsCalledWithComInitialisedAndEverythingIsReleased) {
    for (const char* fixture : {"tav_fixture_regserver", "tav_fixture_regserver_fails"}) {
        std::string dll = Library(std::string(fixture) + ".dll", fixture);
        EXPECT_EQ(1, manager._RegisterControl(dll));
        // S_FALSE (1) inside: COM was already initialised on the caller's thread.
        EXPECT_EQ("registered com=1\n", Record(dll));
        ExpectReleased(dll);
    }
    EXPECT_TRUE(trace.Texts(1).empty()) << trace.Dump();
}

// Fault: uninitialising COM that the call did not initialise.
TEST_F(RegisterTest, ThreadInAnotherApartmentKeepsItsCom) {
    std::string dll = Library("mta.dll");
    ASSERT_EQ(S_OK, ::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    EXPECT_EQ(1, manager._RegisterControl(dll));
    // Still initialised (S_FALSE), as before the call.
    EXPECT_EQ(S_FALSE, ::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    ::CoUninitialize();
    ::CoUninitialize();
    ExpectReleased(dll);
}

TEST_F(RegisterTest, LibraryWithoutTheExportOrNoLibraryIsReportedAndFreed) {
    std::string noExport = Library("noexport.dll", "tav_fixture_noexport");
    EXPECT_EQ(0, manager._RegisterControl(noExport));
    EXPECT_TRUE(trace.Has(1, "_RegisterControl : ERROR, GetProcAddress(" + noExport +
                                 "), EC=" + std::to_string(ERROR_PROC_NOT_FOUND)))
        << trace.Dump();
    ExpectReleased(noExport);

    std::string text = dir + "\\text.dll";
    ASSERT_TRUE(testenv::WriteFile(text, "this is no library\r\n"));
    EXPECT_EQ(0, manager._RegisterControl(text));
    EXPECT_TRUE(trace.HasPrefix(1, "_RegisterControl : ERROR, LoadLibrary(" + text + "), EC="))
        << trace.Dump();
    EXPECT_FALSE(trace.Has(1, "_RegisterControl : ERROR, LoadLibrary(" + text + "), EC=0"));
    ExpectReleased(text);
}

// Fault: registering modules that were not selected, or skipping a selected
// one whose download failed (its old local file is registered again).
TEST_F(RegisterTest, OnlySelectedModulesMarkedRAreRegistered) {
    struct {
        const char* name;
        const char* option;
        int download;
        bool registered;
    } cases[] = {{"selected.dll", "R", 1, true},
                 {"current.dll", "R", 0, false},
                 {"plain.dll", "FE", 1, false},
                 {"lower.dll", "r", 1, false},
                 {"broken.dll", "FR", 1, false},
                 {"again.dll", "xRx", 1, true},
                 // One Hangul syllable of code page 949 whose second byte is an 'R'.
                 {"hangul.dll", "\x81\x52", 1, false}};
    for (const auto& c : cases) {
        auto r = std::make_unique<ModuleRecord>();
        r->localFile =
            Library(c.name, std::string(c.name) == "broken.dll" ? "tav_fixture_noexport"
                                                                : "tav_fixture_regserver");
        r->updateOption = c.option;
        r->download = c.download;
        manager.m_modules.push_back(std::move(r));
    }

    EXPECT_EQ(1, manager.RegisterModule());
    EXPECT_EQ(STATUS_REGISTER, manager.m_nStatus);
    std::vector<std::string> ok;
    for (size_t i = 0; i < manager.m_modules.size(); ++i) {
        const std::string& path = manager.m_modules[i]->localFile;
        EXPECT_EQ(cases[i].registered ? "registered com=1\n" : "", Record(path)) << path;
        if (cases[i].registered)
            ok.push_back("RegisterModule : _RegisterControl(" + path + ") OK");
    }
    EXPECT_EQ(ok, trace.Texts(3)) << trace.Dump();
    EXPECT_TRUE(trace.Has(1, "RegisterModule : _RegisterControl(" + dir + "\\broken.dll) "))
        << trace.Dump();
}

} // namespace
