#pragma once
// Thin window wrappers bound to a control of a dialog by ID. They own no
// window: the dialog's window destroys its controls.

#include <windows.h>
#include <commctrl.h>
#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // True while the window exists; the engine skips controls whose window is gone.
    bool HasWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    // Binds to the dialog's control with this ID (DDX_Control).
    bool BindToItem(HWND hDialog, int id) {
        m_hWnd = ::GetDlgItem(hDialog, id);
        return m_hWnd != nullptr;
    }

    void SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }

protected:
    HWND m_hWnd = nullptr;
};

class CStatic : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    }
    int SetPos(int pos) { return static_cast<int>(SendMessage(PBM_SETPOS, pos, 0)); }
};
