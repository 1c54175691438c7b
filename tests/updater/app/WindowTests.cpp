#include "PassFixture.h"

#include <cstdio>

namespace {

const char kAboutTitle[] = "TavUpdate 정보";
const char kDownloadStage[] = "업데이트된 파일(들)을 다운로드 합니다.";
const unsigned kBigSize = 1048576;

// Bytes the scripted server sends for size=N: byte i is (i * 31 + 7) & 0xFF.
std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return s;
}

// "[      done/     total]" while a file is between its first and last block.
bool MidDownload(HWND main) {
    unsigned done = 0, total = 0;
    std::string text = ItemText(main, 1004);
    return std::sscanf(text.c_str(), "[%u/%u]", &done, &total) == 2 && done > 0 && done < total;
}

// Wine draws the frame and caption itself, so a screenshot shows the title
// even on a display without a window manager.
void DrawOwnFrames() {
    HKEY key;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER,
                          "Software\\Wine\\AppDefaults\\TavUpdate.exe\\X11 Driver", 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
        ::RegCloseKey(key);
    }
}

std::string ArtifactPath(const std::string& name) {
    std::string dir = testenv::BinDir();
    dir.erase(dir.find_last_of('\\'));
    dir += "\\artifacts";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir + "\\" + name;
}

class SlowPassTest : public PassFixture {
protected:
    void SetUp() override {
        DrawOwnFrames();
        ASSERT_TRUE(server.Ok()) << server.Error();
        std::string client = ServeFixture("app_fixture_recorder.exe", "client.exe");
        (void)client;
        // About 8 s on the wire: 256 pieces, 30 ms apart.
        ServeVersionList(Installed("big.bin") + "|/big.bin?size=" + std::to_string(kBigSize) +
                         "&slow=30|F\n" + Installed("client.exe") + "|/client.exe|E\n");
        ASSERT_TRUE(testenv::WriteFile(Installed("big.bin"), "old contents"));
        std::string config = workDir + "\\pass.ini";
        ASSERT_TRUE(testenv::WriteFile(config, Config("HTTP", server.Port(), "")));
        ASSERT_TRUE(app.Start(workDir, config));
        main = app.WaitWindow(kTitle, 60);
        ASSERT_NE(nullptr, main);
        ASSERT_TRUE(WaitFor([&] { return MidDownload(main); }, 60)) << ItemText(main, 1004);
    }

    // The pass ran to its end: the module is whole, the program started.
    void ExpectFinishedPass() {
        ASSERT_TRUE(app.WaitExit(120));
        EXPECT_EQ(0u, app.ExitCode());
        EXPECT_TRUE(testenv::ReadFile(Installed("big.bin")) == Pattern(kBigSize));
        EXPECT_EQ(1u, Starts(Installed("client.exe")).size());
        ExpectNoLogFiles();
    }

    FixtureServer server = FixtureServer::Script(serverDir);
    HWND main = nullptr;
};

TEST_F(SlowPassTest, EscAndEnterDoNothingInTheWindowOrTheAboutBox) {
    EXPECT_EQ(kDownloadStage, ItemText(main, 1001));
    EXPECT_EQ("Downloading... " + Installed("big.bin"), ItemText(main, 1003));

    std::string shot = ArtifactPath("update-window.png");
    ::DeleteFileA(shot.c_str());
    EXPECT_EQ("ok", BrokerCall("screenshot " + testenv::ToUnix(shot)));
    EXPECT_TRUE(testenv::FileExists(shot));

    PressKey(main, VK_ESCAPE);
    PressKey(main, VK_RETURN);
    ASSERT_TRUE(::IsWindow(main));
    EXPECT_EQ(kTitle, WindowText(main)) << "Esc reached the dialog as a cancel";

    // The About item of the system menu, while the download runs behind it.
    ::PostMessageA(main, WM_SYSCOMMAND, 0x0010, 0);
    HWND about = app.WaitWindow(kAboutTitle, 30);
    ASSERT_NE(nullptr, about);
    EXPECT_TRUE(HasChildText(about, "TavUpdate 버전 1.0"));
    std::string before = ItemText(main, 1004);
    PressKey(about, VK_ESCAPE);
    PressKey(about, VK_RETURN);
    EXPECT_TRUE(::IsWindow(about) && ::IsWindowVisible(about));
    EXPECT_TRUE(WaitFor([&] { return ItemText(main, 1004) != before; }, 30))
        << "the display stopped behind the About box";
    ::PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !::IsWindow(about) || !::IsWindowVisible(about); }, 30));
    ASSERT_TRUE(::IsWindow(main));

    ExpectFinishedPass();
}

TEST_F(SlowPassTest, ClosingDuringADownloadWaitsForThePassAndLeavesTheModuleWhole) {
    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitFor(
        [&] { return WindowText(main).find(kTitle) == 0 && WindowText(main) != kTitle; }, 30))
        << "the window does not say it is finishing";
    EXPECT_TRUE(::IsWindow(main));
    // A second request (the close box again) changes nothing.
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
