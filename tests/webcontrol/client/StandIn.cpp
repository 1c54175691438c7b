#include "StandIn.h"
#include "Fixtures.h"
#include "OmbletClient.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <sstream>

namespace {

const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OmbletPlus.exe";

template <typename Done> bool WaitUntil(Done done, int seconds = 20) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (done())
            return true;
        ::Sleep(50);
    }
    return done();
}

std::vector<std::string> NonEmptyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

void CloseAll() {
    WaitUntil(
        [] {
            HWND window = ::FindWindowA(nullptr, "OmbletPlus");
            if (window)
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            return window == nullptr;
        },
        10);
}

} // namespace

StandIn::~StandIn() {
    CloseAll();
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", nullptr);
    SetNoWindow(false);
}

bool StandIn::Use(const std::string& dir, bool copy) {
    CloseAll();
    m_dir = dir;
    m_log = dir + "\\ombletplus.log";
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", m_log.c_str());
    SetNoWindow(false);
    return !copy ||
           ::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(), Program().c_str(), FALSE);
}

bool StandIn::Start() {
    COmbletClient starter;
    starter.m_strClientDir = m_dir;
    starter.StartClient("kim", "Kim", "pw");
    const bool up = WaitForWindow();
    ::DeleteFileA(m_log.c_str());
    return up;
}

void StandIn::SetNoWindow(bool on) {
    ::SetEnvironmentVariableA("TAV_OMBLET_NOWINDOW", on ? "1" : nullptr);
}

std::string StandIn::Log() const {
    return testenv::FileExists(m_log) ? testenv::ReadFile(m_log) : std::string();
}

std::vector<std::string> StandIn::Lines() const {
    return NonEmptyLines(Log());
}

int StandIn::CountLines(const std::string& prefix) const {
    int n = 0;
    for (const auto& line : Lines())
        n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

bool StandIn::WaitForLine(const std::string& wanted) const {
    return WaitUntil([&] {
        for (const auto& line : Lines())
            if (line == wanted)
                return true;
        return false;
    });
}

bool StandIn::WaitForWindow() {
    return WaitUntil([] { return ::FindWindowA(nullptr, "OmbletPlus") != nullptr; });
}

void StandIn::Settle() {
    ::Sleep(1000);
}

AppPathsEntry::AppPathsEntry(const std::string& value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(key);
}

void AppPathsEntry::Remove() {
    ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
}

SystemFile::~SystemFile() {
    // The program may still be running for a moment.
    WaitUntil(
        [this] { return ::DeleteFileA(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; });
}

static std::string RegisterCommand(bool unregister) {
    return std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") + "\"" + testenv::BinDir() +
           "\\TavWebOmblet.ocx\"";
}

RegisteredControl::RegisteredControl() : ok(testenv::RunProcess(RegisterCommand(false)) == 0) {}

RegisteredControl::~RegisteredControl() {
    testenv::RunProcess(RegisterCommand(true));
}

std::vector<std::string> RunPage(const std::string& body) {
    const std::string path = testenv::NewDir("page") + "\\page.js";
    std::string output;
    const bool done =
        testenv::WriteFile(
            path, "var o = new ActiveXObject(\"TAVWEBOMBLET.TavWebOmbletCtrl.1\");\r\n" + body) &&
        testenv::RunProcess("cscript.exe //nologo \"" + path + "\"", &output) != -1;
    std::vector<std::string> lines = NonEmptyLines(output);
    if (!done)
        lines.push_back("(page timed out)");
    return lines;
}
