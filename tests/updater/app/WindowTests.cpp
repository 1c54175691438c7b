#include "PassFixture.h"

#include <cstdio>

namespace {

const unsigned kBigSize = 1048576;

// "[      done/     total]" while a file is between its first and last block.
bool MidDownload(HWND main) {
    unsigned done = 0, total = 0;
    return std::sscanf(ItemText(main, 1004).c_str(), "[%u/%u]", &done, &total) == 2 && done > 0 &&
           done < total;
}

// A pass whose forced module takes about 8 s on the wire (256 pieces, 30 ms
// apart), caught in mid-download.
class SlowPassTest : public PassFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        Copy("app_fixture_recorder.exe", Served("client.exe"));
        ASSERT_TRUE(
            testenv::WriteFile(Served("TavUpdate.ver"),
                               Installed("big.bin") + "|/big.bin?size=" + std::to_string(kBigSize) +
                                   "&slow=30|F\n" + Installed("client.exe") + "|/client.exe|E\n"));
        ASSERT_TRUE(testenv::WriteFile(workDir + "\\pass.ini", Config("HTTP", server.Port())));
        ASSERT_TRUE(app.Start(workDir, workDir + "\\pass.ini"));
        main = app.WaitDialog([](HWND h) { return WindowText(h) == kTitle; }, 60);
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(WaitFor([&] { return MidDownload(main); }, 60)) << ItemText(main, 1004);
        // The stage and the file, named on the first block, stay while it arrives.
        EXPECT_EQ("업데이트된 파일(들)을 다운로드 합니다.", ItemText(main, 1001));
        EXPECT_EQ("Downloading... " + Installed("big.bin"), ItemText(main, 1003));
    }

    // The pass ran to its end: the module is whole, the program started once.
    void ExpectFinishedPass() {
        ASSERT_TRUE(app.Ends(120));
        EXPECT_TRUE(testenv::ReadFile(Installed("big.bin")) == ScriptedBody(kBigSize));
        ExpectStartedOnce(Installed("client.exe"));
    }

    FixtureServer server = FixtureServer::Script(serverDir);
    HWND main = nullptr;
};

// Fault: the window (and the engine in it) gone while the worker still uses
// it. The window says it is finishing; a second request changes nothing.
TEST_F(SlowPassTest, ClosingDuringADownloadWaitsForThePassAndLeavesTheModuleWhole) {
    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitFor(
        [&] { return WindowText(main).find(kTitle) == 0 && WindowText(main) != kTitle; }, 30))
        << "the window does not say it is finishing";
    ::PostMessageA(main, WM_CLOSE, 0, 0);
    Settle(main);
    EXPECT_TRUE(::IsWindow(main));
    ExpectFinishedPass();
}

// Any process can post the start message; a second worker would run the same
// engine at once, fetching the list again and starting the program twice.
TEST_F(SlowPassTest, SecondStartRequestStartsNoSecondPass) {
    ::PostMessageA(main, WM_USER + 100, 0, 0);
    Settle(main);
    ExpectFinishedPass();
    EXPECT_EQ(1, server.CountRequests("TavUpdate.ver"));
}

// OK ends a dialog too; during the pass it must wait like the close box.
TEST_F(SlowPassTest, OkDuringThePassWaitsForIt) {
    ::PostMessageA(main, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return WindowText(main) != kTitle; }, 30))
        << "the window does not say it is finishing";
    EXPECT_TRUE(::IsWindow(main) && ::IsWindowVisible(main));
    ExpectFinishedPass();
}

} // namespace
