
#include "NetTestSupport.h"

#include <cstdio>

ProgressWindow::ProgressWindow(CAULMgr& owner) : m_owner(owner) {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&init);
    m_hParent = ::CreateWindowExA(0, "STATIC", "progress", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200,
                                  nullptr, nullptr, nullptr, nullptr);
    m_name.Attach(::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 380, 20,
                                    m_hParent, reinterpret_cast<HMENU>(1002), nullptr, nullptr));
    m_bar.Attach(::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 30, 380, 20,
                                   m_hParent, reinterpret_cast<HMENU>(1003), nullptr, nullptr));
    m_counter.Attach(::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 60, 380, 20,
                                       m_hParent, reinterpret_cast<HMENU>(1004), nullptr, nullptr));
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
    if (msg == WM_SETTEXT && self && lParam)
        self->m_texts.emplace_back(hWnd == self->m_counter.GetSafeHwnd(),
                                   reinterpret_cast<const char*>(lParam));
    return ::CallWindowProcA(self->m_staticProc, hWnd, msg, wParam, lParam);
}

std::vector<ProgressCall> ProgressWindow::Calls() const {
    static const std::string kPrefix = "Downloading... ";
    std::vector<ProgressCall> calls;
    std::string name;
    for (const auto& text : m_texts) {
        if (!text.first) {
            name = text.second.compare(0, kPrefix.size(), kPrefix) == 0
                       ? text.second.substr(kPrefix.size())
                       : "?" + text.second;
            continue;
        }
        ProgressCall call = {name, -1, -1};
        std::sscanf(text.second.c_str(), "[%ld/%ld]", &call.done, &call.total);
        calls.push_back(call);
        name.clear();
    }
    return calls;
}

std::string ProgressWindow::Dump() const {
    std::string out;
    for (const auto& c : Calls())
        out +=
            "(" + c.name + ", " + std::to_string(c.total) + ", " + std::to_string(c.done) + ")\n";
    return out;
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
    HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (::FindNextFileA(find, &found));
    ::FindClose(find);
    return names;
}

::testing::AssertionResult ConnectTo(CNetDownLoader& net, int protocol,
                                     const FixtureServer& server) {
    if (!server.Ok())
        return ::testing::AssertionFailure() << "server: " << server.Error();
    const bool ftp = protocol == PROTOCOL_FTP;
    if (!net.SetLoginInfo("127.0.0.1", protocol, server.Port(), ftp ? "tav" : "",
                          ftp ? "secret" : ""))
        return ::testing::AssertionFailure() << "SetLoginInfo";
    if (!net.Connect())
        return ::testing::AssertionFailure() << "Connect";
    return ::testing::AssertionSuccess();
}
