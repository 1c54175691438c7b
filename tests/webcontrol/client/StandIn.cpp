#include "StandIn.h"
#include "Fixtures.h"

#include <windows.h>

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

} // namespace

StandIn::~StandIn() {
    CloseAll();
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", nullptr);
    ::SetEnvironmentVariableA("TAV_OMBLET_NOWINDOW", nullptr);
}

bool StandIn::Install(const std::string& dir) {
    Adopt(dir);
    return ::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(), Program().c_str(), FALSE);
}

void StandIn::Adopt(const std::string& dir) {
    CloseAll();
    m_dir = dir;
    m_log = dir + "\\ombletplus.log";
    ::SetEnvironmentVariableA("TAV_OMBLET_LOG", m_log.c_str());
    SetNoWindow(false);
}

void StandIn::SetNoWindow(bool on) {
    ::SetEnvironmentVariableA("TAV_OMBLET_NOWINDOW", on ? "1" : nullptr);
}

std::string StandIn::Log() const {
    return testenv::FileExists(m_log) ? testenv::ReadFile(m_log) : std::string();
}

std::vector<std::string> StandIn::Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Log());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

int StandIn::CountLines(const std::string& prefix) const {
    int n = 0;
    for (const auto& line : Lines())
        n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

void StandIn::ClearLog() {
    ::DeleteFileA(m_log.c_str());
}

bool StandIn::WaitForLine(const std::string& wanted) const {
    return WaitUntil([&] {
        for (const auto& line : Lines())
            if (line == wanted)
                return true;
        return false;
    });
}

bool StandIn::WaitForWindow() const {
    return WaitUntil([] { return ::FindWindowA(nullptr, "OmbletPlus") != nullptr; });
}

void StandIn::Settle() {
    ::Sleep(1000);
}

void StandIn::CloseAll() {
    WaitUntil(
        [] {
            HWND window = ::FindWindowA(nullptr, "OmbletPlus");
            if (window)
                ::PostMessageA(window, WM_CLOSE, 0, 0);
            return window == nullptr;
        },
        10);
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
    WaitUntil([this] {
        return ::DeleteFileA(m_path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    });
}

bool SystemFile::CopyFrom(const std::string& source) {
    return ::CopyFileA(source.c_str(), m_path.c_str(), FALSE);
}

bool SystemFile::Write(const std::string& data) {
    return testenv::WriteFile(m_path, data);
}
