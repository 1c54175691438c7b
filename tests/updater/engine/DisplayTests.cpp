#include "AULMgr.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace {

const UINT WM_DESTROY_CONTROL = WM_APP + 1;

LRESULT CALLBACK HostProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY_CONTROL) {
        ::DestroyWindow(::GetDlgItem(hWnd, static_cast<int>(wParam)));
        return 0;
    }
    if (msg == WM_CLOSE) {
        ::DestroyWindow(hWnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hWnd, msg, wParam, lParam);
}

// The update window's five controls on their own user-interface thread, which
// pumps messages while the test thread plays the worker.
class UpdateWindow {
public:
    UpdateWindow() {
        m_thread = std::thread([this] { Run(); });
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return m_created; });
    }
    ~UpdateWindow() { Close(); }

    void Close() {
        if (!m_thread.joinable())
            return;
        ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        m_thread.join();
    }
    // Destroyed on the window's own thread, as the dialog would do it.
    void DestroyControl(int id) { ::SendMessageA(m_hWnd, WM_DESTROY_CONTROL, id, 0); }

    void Attach(CAULMgr& manager) {
        m_stageProgress.BindToItem(m_hWnd, 1000);
        m_stageText.BindToItem(m_hWnd, 1001);
        m_fileProgress.BindToItem(m_hWnd, 1002);
        m_fileNameText.BindToItem(m_hWnd, 1003);
        m_byteCountText.BindToItem(m_hWnd, 1004);
        manager.m_pStageProgress = &m_stageProgress;
        manager.m_pStageText = &m_stageText;
        manager.m_pFileProgress = &m_fileProgress;
        manager.m_pFileNameText = &m_fileNameText;
        manager.m_pByteCountText = &m_byteCountText;
    }

    std::string Text(int id) const {
        char text[256] = {};
        ::GetWindowTextA(::GetDlgItem(m_hWnd, id), text, sizeof(text));
        return text;
    }
    int Pos(int id) const {
        return static_cast<int>(::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_GETPOS, 0, 0));
    }
    int High(int id) const {
        PBRANGE range = {};
        ::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_GETRANGE, FALSE, (LPARAM)&range);
        return range.iHigh;
    }
    int Low(int id) const {
        return static_cast<int>(::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_GETRANGE, TRUE, 0));
    }
    void SetText(int id, const char* text) { ::SetWindowTextA(::GetDlgItem(m_hWnd, id), text); }
    void SetBar(int id, int high, int pos) {
        ::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_SETRANGE, 0, MAKELPARAM(0, high));
        ::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_SETPOS, pos, 0);
    }
    HWND Handle() const { return m_hWnd; }

private:
    void Run() {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&init);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "EngineDisplayHost";
        ::RegisterClassA(&wc);
        HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "update", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                      200, nullptr, nullptr, wc.hInstance, nullptr);
        auto child = [&](const char* cls, int id, int y) {
            ::CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE, 10, y, 300, 18, hWnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance,
                              nullptr);
        };
        child(PROGRESS_CLASSA, 1000, 10);
        child("STATIC", 1001, 30);
        child(PROGRESS_CLASSA, 1002, 50);
        child("STATIC", 1003, 70);
        child("STATIC", 1004, 90);
        ::ShowWindow(hWnd, SW_SHOW);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_hWnd = hWnd;
            m_created = true;
        }
        m_ready.notify_all();
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    bool m_created = false;
    HWND m_hWnd = nullptr;
    CProgressCtrl m_stageProgress, m_fileProgress;
    CStatic m_stageText, m_fileNameText, m_byteCountText;
};

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

TEST(EngineDisplay, ConstructionWithoutControlsOnlyRecordsStatusZero) {
    UpdateWindow window;
    window.SetText(1001, "untouched");
    CAULMgr manager;
    EXPECT_EQ(0, manager.m_nStatus);
    EXPECT_EQ(nullptr, manager.m_pStageText);
    EXPECT_EQ(nullptr, manager.m_pStageProgress);
    manager.SetStatus(3); // no controls attached: nothing to show, nothing to fail
    EXPECT_EQ(3, manager.m_nStatus);
    EXPECT_EQ("untouched", window.Text(1001));
}

// Fault: a wrong byte in a status text, or the bar on the wrong scale.
TEST(EngineDisplay, EveryStatusShowsItsTextAndStageOfEight) {
    UpdateWindow window;
    CAULMgr manager;
    window.Attach(manager);
    for (int code = 0; code <= 8; ++code) {
        manager.SetStatus(code);
        EXPECT_EQ(code, manager.m_nStatus);
        EXPECT_EQ(kStatusTexts[code], window.Text(1001)) << code;
        EXPECT_EQ(0, window.Low(1000));
        EXPECT_EQ(8, window.High(1000));
        EXPECT_EQ(code, window.Pos(1000));
    }
    manager.SetStatus(5);
    EXPECT_EQ("업데이트된 파일(들)을 다운로드 합니다.", window.Text(1001));
    EXPECT_EQ(5, window.Pos(1000));
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
    EXPECT_EQ(0, window.Low(1002));
    EXPECT_EQ(100, window.High(1002));
    EXPECT_EQ(12, window.Pos(1002)); // 51200 / 4096, truncated

    manager.ShowProgress("", 4096, 4096);
    EXPECT_EQ("Downloading... C:\\Omblet\\client.dll", window.Text(1003));
    EXPECT_EQ("[      4096/      4096]", window.Text(1004));
    EXPECT_EQ(100, window.Pos(1002));

    manager.ShowProgress("big.bin", 1000000000u, 500000000u);
    EXPECT_EQ(50, window.Pos(1002));
    EXPECT_EQ("[ 500000000/1000000000]", window.Text(1004));

    manager.ShowProgress("", 4294967295u, 4294967294u);
    EXPECT_EQ(99, window.Pos(1002));
    EXPECT_EQ("[4294967294/4294967295]", window.Text(1004));
    EXPECT_EQ("Downloading... big.bin", window.Text(1003));

    // More than announced: the bar stays full.
    manager.ShowProgress("", 100, 250);
    EXPECT_EQ(100, window.Pos(1002));
    EXPECT_EQ("[       250/       100]", window.Text(1004));

    // The stage line is not the download display's.
    EXPECT_EQ("", window.Text(1001));
    EXPECT_EQ(0, window.Pos(1000));
}

TEST(EngineDisplay, ControlWhoseWindowIsGoneIsSkipped) {
    UpdateWindow window;
    CAULMgr manager;
    window.Attach(manager);
    window.DestroyControl(1001);
    window.DestroyControl(1003);
    manager.SetStatus(6);
    EXPECT_EQ(6, window.Pos(1000));
    manager.ShowProgress("x.dll", 10, 5);
    EXPECT_EQ(50, window.Pos(1002));
    EXPECT_EQ("[         5/        10]", window.Text(1004));
    window.DestroyControl(1000);
    window.DestroyControl(1002);
    window.DestroyControl(1004);
    manager.SetStatus(7);
    manager.ShowProgress("y.dll", 10, 10);
    EXPECT_EQ(7, manager.m_nStatus);
}

TEST(EngineDisplay, DestructionShowsTheFinishOnLiveControlsOnly) {
    UpdateWindow window;
    {
        CAULMgr manager;
        window.Attach(manager);
        manager.SetStatus(7);
    }
    EXPECT_EQ(kStatusTexts[8], window.Text(1001));
    EXPECT_EQ(8, window.Pos(1000));

    UpdateWindow closing;
    {
        CAULMgr manager;
        closing.Attach(manager);
        manager.SetStatus(7);
        closing.Close(); // the window and its controls are gone first
        EXPECT_FALSE(::IsWindow(closing.Handle()));
    }
}

// The worker's display calls are delivered by the window's own thread.
TEST(EngineDisplay, WorkerThreadDrivesTheDisplayWhileTheWindowPumps) {
    UpdateWindow window;
    CAULMgr manager;
    window.Attach(manager);
    std::thread worker([&] {
        manager.SetStatus(5);
        for (DWORD done = 4096; done <= 40960; done += 4096)
            manager.ShowProgress(done == 4096 ? "C:\\m.dll" : "", 40960, done);
        manager.SetStatus(6);
    });
    worker.join();
    EXPECT_EQ(kStatusTexts[6], window.Text(1001));
    EXPECT_EQ(6, window.Pos(1000));
    EXPECT_EQ(100, window.Pos(1002));
    EXPECT_EQ("Downloading... C:\\m.dll", window.Text(1003));
    EXPECT_EQ("[     40960/     40960]", window.Text(1004));
}

} // namespace
