#include "OleControl.h"
#include "OleControlModule.h"

#include <mutex>

namespace {

const wchar_t kWindowClass[] = L"TavOleControlWnd";
// Controls of several apartments (threads) may go in place at the same time;
// the class belongs to the whole process.
std::mutex g_windowClassLock;
ATOM g_windowClass = 0;

LRESULT CALLBACK ControlWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* pcs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pcs->lpCreateParams));
    }
    auto* control = reinterpret_cast<COleControl*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (!control)
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
    return control->WindowProc(hWnd, message, wParam, lParam);
}

} // namespace

ATOM AfxRegisterControlWindowClass() {
    std::lock_guard<std::mutex> lock(g_windowClassLock);
    if (g_windowClass)
        return g_windowClass;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    // The picture scales with the window, so all of it is redrawn on resize.
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = ControlWndProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    ATOM atom = ::RegisterClassExW(&wc);
    // Ours from before (the module was unloaded without its detach): the
    // same class of the same module, good to use.
    if (!atom && ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        WNDCLASSEXW existing = {};
        existing.cbSize = sizeof(existing);
        atom = static_cast<ATOM>(::GetClassInfoExW(wc.hInstance, kWindowClass, &existing));
    }
    g_windowClass = atom;
    return g_windowClass;
}

void AfxUnregisterControlWindowClass() {
    std::lock_guard<std::mutex> lock(g_windowClassLock);
    if (g_windowClass)
        ::UnregisterClassW(kWindowClass, AfxGetInstanceHandle());
    g_windowClass = 0;
}

bool COleControl::CreateControlWindow(HWND hWndParent, const RECT& rcPos) {
    if (!AfxRegisterControlWindowClass())
        return false;
    m_rcPos = rcPos;
    HWND hWnd = ::CreateWindowExW(
        0, kWindowClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, rcPos.left,
        rcPos.top, rcPos.right - rcPos.left, rcPos.bottom - rcPos.top, hWndParent, nullptr,
        AfxGetInstanceHandle(), this);
    return hWnd != nullptr;
}

void COleControl::DestroyControlWindow() {
    // WM_NCDESTROY clears m_hWnd.
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

LRESULT COleControl::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // From WM_NCCREATE on, before CreateWindowEx has returned.
    if (message == WM_NCCREATE)
        m_hWnd = hWnd;
    if (message == WM_NCDESTROY) {
        m_hWnd = nullptr;
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
    // Everything else, WM_CREATE and WM_COPYDATA included, is the default's.
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(hWnd, &ps);
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        OnDraw(hdc, rc, ps.rcPaint);
        ::EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        // OnDraw paints every pixel.
        return 1;
    case WM_MOUSEACTIVATE:
        UIActivate();
        return MA_ACTIVATE;
    default:
        return ::DefWindowProcW(hWnd, message, wParam, lParam);
    }
}
