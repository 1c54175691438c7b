#include <winsock2.h>

#include "Fixtures.h"
#include "UnixTime.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace testenv {

std::string BinDir() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\'));
}

std::string ScratchDir() {
    const char* dir = std::getenv("TAV_SCRATCH_WIN");
    if (dir && *dir)
        return dir;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string t = temp;
    if (!t.empty() && t.back() == '\\')
        t.pop_back();
    return t;
}

std::string NewDir(const std::string& name) {
    static std::atomic<int> counter{0};
    std::string dir = ScratchDir() + "\\" + name + "." + std::to_string(++counter);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ToUnix(const std::string& windowsPath) {
    std::string p = windowsPath;
    if (p.size() >= 2 && (p[0] == 'Z' || p[0] == 'z') && p[1] == ':')
        p.erase(0, 2);
    for (char& c : p)
        if (c == '\\')
            c = '/';
    return p;
}

std::string ToWindows(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/')
            c = '\\';
    return p;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SetFileTime(const std::string& path, long long unixSeconds) {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const FILETIME ft = FileTimeFromUnixTime(unixSeconds);
    BOOL ok = ::SetFileTime(h, nullptr, nullptr, &ft);
    ::CloseHandle(h);
    return ok != FALSE;
}

int RunProcess(const std::string& commandLine, std::string* output, unsigned long timeoutMs) {
    static std::atomic<int> counter{0};
    // A file, not a pipe: a grandchild that keeps the handle cannot block us.
    const std::string outPath = ScratchDir() + "\\process." + std::to_string(++counter) + ".out";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE out = ::CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return -1;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    BOOL started =
        ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    ::CloseHandle(out);
    if (!started)
        return -1;
    int result = -1;
    if (::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(pi.hProcess, &code);
        result = static_cast<int>(code);
    } else {
        ::TerminateProcess(pi.hProcess, 1);
        ::WaitForSingleObject(pi.hProcess, 5000);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    if (output)
        *output = ReadFile(outPath);
    return result;
}

} // namespace testenv

std::string BrokerCall(const std::string& line) {
    static bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return "error winsock";
    const char* port = std::getenv("TAV_BROKER_PORT");
    if (!port || !*port)
        return "error no broker (run the test through cmake/wine-run)";
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::closesocket(s);
        return "error broker unreachable";
    }
    std::string request = line + "\n";
    ::send(s, request.data(), static_cast<int>(request.size()), 0);
    std::string answer;
    char buf[512];
    int n;
    while ((n = ::recv(s, buf, sizeof(buf), 0)) > 0) {
        answer.append(buf, n);
        if (answer.find('\n') != std::string::npos)
            break;
    }
    ::closesocket(s);
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.pop_back();
    return answer;
}

FixtureServer::FixtureServer(const std::string& command) {
    std::istringstream answer(BrokerCall(command));
    std::string word;
    answer >> word;
    if (word != "ok") {
        m_error = answer.str();
        return;
    }
    std::string log;
    answer >> m_id >> m_port >> log;
    if (!log.empty())
        m_log = testenv::ToWindows(log);
}

FixtureServer FixtureServer::Ftp(const std::string& rootDir, const std::string& user,
                                 const std::string& password) {
    return FixtureServer("ftp " + testenv::ToUnix(rootDir) + " " + user + " " + password);
}

FixtureServer FixtureServer::Nginx(const std::string& rootDir) {
    return FixtureServer("nginx " + testenv::ToUnix(rootDir));
}

FixtureServer FixtureServer::Script(const std::string& rootDir) {
    return FixtureServer("script " + testenv::ToUnix(rootDir));
}

FixtureServer::FixtureServer(FixtureServer&& other) noexcept
    : m_id(other.m_id), m_port(other.m_port), m_log(std::move(other.m_log)),
      m_error(std::move(other.m_error)) {
    other.m_id = 0;
}

FixtureServer::~FixtureServer() {
    Stop();
}

void FixtureServer::Stop() {
    if (m_id)
        BrokerCall("stop " + std::to_string(m_id));
    m_id = 0;
}

int FixtureServer::CountRequests(const std::string& text) const {
    std::istringstream lines(testenv::ReadFile(m_log));
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        n += line.find(text) != std::string::npos;
    return n;
}
