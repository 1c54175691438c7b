#include "AULMgr.h"
#include "TraceRecorder.h"

#include "UpdateWindow.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using enginetest::UpdateWindow;

const char* const kStatusTexts[] = {
    "초기화 합니다.",
    "설정파일을 읽어드립니다.",
    "업데이트 서버에 접속합니다.",
    "버전 정보를 가져옵니다.",
    "버전 정보를 분석합니다.",
    "업데이트된 파일(들)을 다운로드 합니다.",
    "업데이트된 파일(들)을 등록합니다.",
    "프로그램을 실행합니다.",
    "업데이트를 마칩니다.",
};

// Fault: a wrong byte in a status text, or the bar on the wrong scale.
TEST(EngineDisplay, EveryStatusShowsItsTextAndStageOfEight) {
    UpdateWindow window;
    CAULMgr manager;
    window.Attach(manager);
    for (int code = 0; code <= 8; ++code) {
        manager.SetStatus(code);
        EXPECT_EQ(code, manager.m_nStatus);
        EXPECT_EQ(kStatusTexts[code], window.Text(1001)) << code;
        EXPECT_EQ(0, window.Range(1000).iLow);
        EXPECT_EQ(8, window.Range(1000).iHigh);
        EXPECT_EQ(code, window.Pos(1000));
    }
    // Status texts belong to the stage line only.
    EXPECT_EQ("", window.Text(1003));
    EXPECT_EQ(0, window.Pos(1002));
}

// Faults: the percentage wrapping for large files, a truncated counter, the
// file name lost on later blocks.
TEST(EngineDisplay, ProgressMovesTheBarNameAndCounter) {
    UpdateWindow window;
    CAULMgr manager;
    window.Attach(manager);

    manager.ShowProgress("C:\\Omblet\\client.dll", 4096, 512);
    EXPECT_EQ("Downloading... C:\\Omblet\\client.dll", window.Text(1003));
    EXPECT_EQ("[       512/      4096]", window.Text(1004));
    EXPECT_EQ(0, window.Range(1002).iLow);
    EXPECT_EQ(100, window.Range(1002).iHigh);
    EXPECT_EQ(12, window.Pos(1002)); // 51200 / 4096, truncated

    manager.ShowProgress("", 4294967295u, 4294967294u);
    EXPECT_EQ(99, window.Pos(1002));
    EXPECT_EQ("[4294967294/4294967295]", window.Text(1004));
    EXPECT_EQ("Downloading... C:\\Omblet\\client.dll", window.Text(1003));

    // More than announced: the bar stays full.
    manager.ShowProgress("", 100, 250);
    EXPECT_EQ(100, window.Pos(1002));
    EXPECT_EQ("[       250/       100]", window.Text(1004));

    // The stage line is not the download display's.
    EXPECT_EQ("", window.Text(1001));
    EXPECT_EQ(0, window.Pos(1000));
}

// Faults: a control whose window is gone stopping the others, or the finish
// shown on it at destruction.
TEST(EngineDisplay, ControlsWhoseWindowIsGoneAreSkipped) {
    UpdateWindow window, closing;
    {
        CAULMgr manager, other;
        window.Attach(manager);
        closing.Attach(other);
        window.DestroyControl(1003);
        manager.SetStatus(6);
        EXPECT_EQ(6, window.Pos(1000));
        manager.ShowProgress("x.dll", 10, 5);
        EXPECT_EQ(50, window.Pos(1002));
        EXPECT_EQ("[         5/        10]", window.Text(1004));
        other.SetStatus(7);
        closing.Close();
    }
    EXPECT_EQ(kStatusTexts[8], window.Text(1001));
    EXPECT_EQ(8, window.Pos(1000));
}

} // namespace
