#pragma once
// The update window's five controls (IDs 1000 to 1004) on their own
// user-interface thread, which pumps messages while the test thread plays the
// update worker.

#include "AULMgr.h"

#include <commctrl.h>

#include <future>
#include <string>
#include <thread>

namespace enginetest {

constexpr UINT WM_DESTROY_CONTROL = WM_APP + 1;

inline LRESULT CALLBACK HostProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY_CONTROL)
        ::DestroyWindow(::GetDlgItem(hWnd, static_cast<int>(wParam)));
    else if (msg == WM_CLOSE)
        ::DestroyWindow(hWnd);
    else if (msg == WM_DESTROY)
        ::PostQuitMessage(0);
    else
        return ::DefWindowProcA(hWnd, msg, wParam, lParam);
    return 0;
}

class UpdateWindow {
public:
    UpdateWindow() {
        std::promise<HWND> created;
        m_thread = std::thread([&created] { Run(created); });
        m_hWnd = created.get_future().get();
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
        CWnd* controls[] = {&m_stageProgress, &m_stageText, &m_fileProgress, &m_fileNameText,
                            &m_byteCountText};
        for (int i = 0; i < 5; ++i)
            controls[i]->BindToItem(m_hWnd, 1000 + i);
        manager.AttachControls(&m_stageProgress, &m_stageText, &m_fileProgress, &m_fileNameText,
                               &m_byteCountText);
    }

    std::string Text(int id) const {
        char text[256] = {};
        ::GetWindowTextA(::GetDlgItem(m_hWnd, id), text, sizeof(text));
        return text;
    }
    int Pos(int id) const {
        return static_cast<int>(::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_GETPOS, 0, 0));
    }
    PBRANGE Range(int id) const {
        PBRANGE range = {};
        ::SendMessageA(::GetDlgItem(m_hWnd, id), PBM_GETRANGE, FALSE, (LPARAM)&range);
        return range;
    }

private:
    static void Run(std::promise<HWND>& created) {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&init);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "EngineDisplayHost";
        ::RegisterClassA(&wc);
        HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "update", WS_OVERLAPPEDWINDOW, 0, 0, 400,
                                      200, nullptr, nullptr, wc.hInstance, nullptr);
        for (int id = 1000; id <= 1004; ++id)
            ::CreateWindowExA(0, id == 1000 || id == 1002 ? PROGRESS_CLASSA : "STATIC", "",
                              WS_CHILD | WS_VISIBLE, 10, 10 + (id - 1000) * 20, 300, 18, hWnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), wc.hInstance,
                              nullptr);
        ::ShowWindow(hWnd, SW_SHOW);
        created.set_value(hWnd);
        MSG msg;
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }

    std::thread m_thread;
    HWND m_hWnd = nullptr;
    CProgressCtrl m_stageProgress, m_fileProgress;
    CStatic m_stageText, m_fileNameText, m_byteCountText;
};

} // namespace enginetest
