#include "NetTestSupport.h"

#include "UniqueHandle.h"

#include <cstdio>

ProgressWindow::ProgressWindow(CAULMgr& owner) : m_owner(owner) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&init);
    m_hParent = ::CreateWindowExA(0, "STATIC", "progress", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    auto child = [this](const char* cls, int id) {
        return ::CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE, 0, id * 20, 380, 20, m_hParent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(1002 + id)), nullptr,
                                 nullptr);
    };
    m_name.Attach(child("STATIC", 0));
    m_bar.Attach(child(PROGRESS_CLASSA, 1));
    m_counter.Attach(child("STATIC", 2));
    for (HWND control : {m_name.GetSafeHwnd(), m_counter.GetSafeHwnd()}) {
        ::SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_staticProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
            control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ProgressWindow::Record)));
    }
    m_owner.m_pFileNameText = &m_name;
    m_owner.m_pFileProgress = &m_bar;
    m_owner.m_pByteCountText = &m_counter;
}

ProgressWindow::~ProgressWindow() {
    m_owner.m_pFileNameText = nullptr;
    m_owner.m_pFileProgress = nullptr;
    m_owner.m_pByteCountText = nullptr;
    ::DestroyWindow(m_hParent);
}

LRESULT CALLBACK ProgressWindow::Record(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ProgressWindow*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    if (msg == WM_SETTEXT && lParam) {
        std::string text = reinterpret_cast<const char*>(lParam);
        if (hWnd == self->m_name.GetSafeHwnd()) {
            const std::string prefix = "Downloading... ";
            self->m_pendingName = text.compare(0, prefix.size(), prefix) == 0
                                      ? text.substr(prefix.size())
                                      : "?" + text;
        } else {
            ProgressCall call = {self->m_pendingName, -1, -1};
            std::sscanf(text.c_str(), "[%ld/%ld]", &call.done, &call.total);
            self->calls.push_back(call);
            self->m_pendingName.clear();
        }
    }
    return ::CallWindowProcA(self->m_staticProc, hWnd, msg, wParam, lParam);
}

std::string ScriptPattern(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return data;
}

std::string BinaryContent(size_t size) {
    static const char kSeed[] = "line\r\nbare\nnul\0cr\r";
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = (i / 19) % 2 ? static_cast<char>(i * 7 + 128) : kSeed[i % 19];
    return data;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    unique_hfind find(::FindFirstFileA((folder + "\\*").c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileA(find.get(), &found))
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    return names;
}

::testing::AssertionResult ConnectTo(CNetDownLoader& net, int protocol,
                                     const FixtureServer& server) {
    if (!server.Ok())
        return ::testing::AssertionFailure() << "server: " << server.Error();
    const bool ftp = protocol == PROTOCOL_FTP;
    if (!net.SetLoginInfo("127.0.0.1", protocol, server.Port(), ftp ? "tav" : "",
                          ftp ? "secret" : "") ||
        !net.Connect())
        return ::testing::AssertionFailure() << "SetLoginInfo/Connect";
    return ::testing::AssertionSuccess();
}
