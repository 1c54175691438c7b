#pragma once
// The update window's five controls (IDs 1000 to 1004) on their own
// user-interface thread, which pumps messages while the test thread plays the
// update worker.

#include "AULMgr.h"

#include <commctrl.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace enginetest {

constexpr UINT WM_DESTROY_CONTROL = WM_APP + 1;

inline LRESULT CALLBACK HostProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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

} // namespace enginetest
