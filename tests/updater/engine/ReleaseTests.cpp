// Signed releases: only bytes the pass checked are installed, registered or
// started, and a release goes in whole or not at all.
#include "SignedFixture.h"

namespace {

std::string Stand(const std::string& built, const std::string& to) {
    EXPECT_TRUE(::CopyFileA((testenv::BinDir() + "\\" + built).c_str(), to.c_str(), FALSE));
    return testenv::ReadFile(to);
}

// An installed module that is not the listed one, whose registration or start
// would show. Faults: it is registered (loaded into the elevated updater) or
// started after its download was refused, or after a second program held it
// so that the new one could not take its place.
TEST_F(SignedTest, OnlyVerifiedBytesAreRegisteredOrStarted) {
    const struct {
        const char* name;
        const char* stand;   // what is installed
        const char* options; // as listed
        bool tampered;       // the server sends other bytes than listed
        bool held;           // a second program holds the installed file
        const char* shows;   // what a registration or start would leave
    } cases[] = {{"refused.dll", "app_fixture_regserver.dll", "R", true, false, ".reg"},
                 {"held.dll", "app_fixture_regserver.dll", "R", false, true, ".reg"},
                 {"refused.exe", "app_fixture_recorder.exe", "E", true, false, ".ran"}};
    int serial = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string installed = local + "\\" + c.name;
        const std::string before = Stand(c.stand, installed);
        Publish(Head(serial++) + Module(c.name, "the listed module", c.options));
        if (c.tampered) {
            ASSERT_TRUE(testenv::WriteFile(root + "\\" + c.name, "tHe listed module"));
        }
        unique_hfile holder;
        if (c.held)
            holder.reset(::CreateFileA(installed.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        FullPass();
        holder.reset();
        ::Sleep(500); // a start would have logged by now
        EXPECT_EQ("", testenv::ReadFile(installed + c.shows)) << trace.Dump();
        EXPECT_TRUE(before == testenv::ReadFile(installed));
    }
}

// Holds a file the moment another one starts to arrive.
struct HoldWhenShown : IUpdateView {
    HoldWhenShown(const std::string& arriving, const std::string& toHold)
        : arriving(arriving), toHold(toHold) {}
    void ShowStage(int, int, const std::string&) override {}
    void ShowFileName(const std::string& text) override {
        if (text == "Downloading... " + arriving)
            held.reset(::CreateFileA(toHold.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    }
    void ShowFileProgress(int, const std::string&) override {}
    void ShowNothingToRun(const std::string&) override {}
    std::string arriving, toHold;
    unique_hfile held;
};

// Faults: the modules before a refused one left installed, so the desktop
// holds half a release; the first module of a release kept when the second
// cannot take its place; the local list replaced before its release is in
// place; a release that comes right later refused or installed in part.
TEST_F(SignedTest, ReleaseGoesInWholeOrNotAtAll) {
    const char* const names[] = {"a.dll", "b.dll", "c.dll"};
    std::string text = Head(1);
    for (const char* name : names) {
        ASSERT_TRUE(testenv::WriteFile(local + "\\" + name, std::string("old ") + name));
        text += Module(name, std::string("new ") + name);
    }
    Publish(text);
    const auto expectAll = [&](const char* state) {
        for (const char* name : names)
            EXPECT_EQ(std::string(state) + " " + name, testenv::ReadFile(local + "\\" + name));
        EXPECT_EQ((std::vector<std::string>{"a.dll", "b.dll", "c.dll"}), Others());
    };

    ASSERT_TRUE(testenv::WriteFile(root + "\\c.dll", "bad c.dll"));
    FullPass();
    expectAll("old");
    EXPECT_FALSE(testenv::FileExists(list));

    // Once c arrives, a program holds b so that it cannot be set aside: a
    // goes in, b does not.
    ASSERT_TRUE(testenv::WriteFile(root + "\\c.dll", "new c.dll"));
    HoldWhenShown holder(local + "\\c.dll", local + "\\b.dll");
    manager.AttachView(&holder);
    FullPass();
    manager.AttachView(nullptr);
    holder.held.reset();
    expectAll("old");
    EXPECT_TRUE(trace.Has(1, "DownloadNewFiles : ERROR, release not installed : MoveFileEx(", true))
        << trace.Dump();
    EXPECT_FALSE(testenv::FileExists(list));

    FullPass();
    expectAll("new");
    EXPECT_EQ(text, testenv::ReadFile(list));
}

// A loaded library can be renamed but not overwritten or deleted. Faults: a
// module in use blocks its update; the copy set aside stays for good.
TEST_F(SignedTest, ModuleInUseIsReplacedAndItsAsideCopyGoesLater) {
    const std::string installed = local + "\\a.dll";
    Stand("app_fixture_regserver.dll", installed);
    Publish(Head(1) + Module("a.dll", "the new module"));
    HMODULE loaded = ::LoadLibraryExA(installed.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(nullptr, loaded);
    FullPass();
    EXPECT_TRUE("the new module" == testenv::ReadFile(installed)) << trace.Dump();
    ::FreeLibrary(loaded);
    FullPass();
    EXPECT_EQ(std::vector<std::string>{"a.dll"}, Others());
}

} // namespace
