#include <winsock2.h>

#include "Fixtures.h"
#include "UnixTime.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace testenv {

std::string BinDir() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, std::strrchr(path, '\\'));
}

std::string ScratchDir() {
    const char* dir = std::getenv("TAV_SCRATCH_WIN");
    char temp[MAX_PATH] = {};
    if (dir && *dir)
        return dir;
    ::GetTempPathA(MAX_PATH, temp);
    return std::string(temp, std::strrchr(temp, '\\'));
}

std::string NewDir(const std::string& name) {
    static std::atomic<int> counter{0};
    const std::string dir = ScratchDir() + "\\" + name + "." + std::to_string(++counter);
    ::CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string ToUnix(const std::string& windowsPath) {
    std::string p = windowsPath.compare(0, 2, "Z:") == 0 ? windowsPath.substr(2) : windowsPath;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

std::string ToWindows(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    unique_hfile file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const FILETIME time = FileTimeFromUnixTime(unixSeconds);
    return file && ::SetFileTime(file.get(), nullptr, nullptr, &time);
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    unique_hfind find(::FindFirstFileA((folder + "\\" + pattern).c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileA(find.get(), &found))
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..")
            names.push_back(found.cFileName);
    return names;
}

std::vector<std::string> LogEntries(const std::string& path) {
    static const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \d+ \d+ (.*)\r)");
    std::vector<std::string> entries;
    std::istringstream in(ReadFile(path));
    std::smatch m;
    for (std::string line; std::getline(in, line);)
        entries.push_back(std::regex_match(line, m, stamped) ? m[1].str() : "?" + line);
    return entries;
}

unique_handle StartProcess(const std::string& commandLine, const std::string& folder,
                           HANDLE output) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = si.hStdError = output;
    }
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, output != nullptr, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return unique_handle();
    ::CloseHandle(pi.hThread);
    return unique_handle(pi.hProcess);
}

int RunProcess(const std::string& commandLine, std::string* output, unsigned long timeoutMs) {
    static std::atomic<int> counter{0};
    // A file, not a pipe: a grandchild that keeps the handle cannot block us.
    const std::string outPath = ScratchDir() + "\\process." + std::to_string(++counter) + ".out";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    unique_hfile out(::CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    unique_handle process = out ? StartProcess(commandLine, "", out.get()) : unique_handle();
    out.reset();
    if (!process)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) {
        ::GetExitCodeProcess(process.get(), &code);
    } else {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
    }
    if (output)
        *output = ReadFile(outPath);
    return static_cast<int>(code);
}

} // namespace testenv

LogPolicyValues::LogPolicyValues(const std::string& key, DWORD level, const std::string& file,
                                 REGSAM view)
    : key(key), view(view) {
    unique_hkey k;
    ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                      k.put(), nullptr);
    ::RegSetValueExA(k.get(), "TraceLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&level),
                     sizeof(level));
    ::RegSetValueExA(k.get(), "TraceFile", 0, REG_EXPAND_SZ,
                     reinterpret_cast<const BYTE*>(file.c_str()),
                     static_cast<DWORD>(file.size() + 1));
}

LogPolicyValues::~LogPolicyValues() {
    unique_hkey k;
    DWORD subkeys = 0, values = 0;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | view, k.put()) !=
        ERROR_SUCCESS)
        return;
    ::RegDeleteValueA(k.get(), "TraceLevel");
    ::RegDeleteValueA(k.get(), "TraceFile");
    if (::RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        subkeys == 0 && values == 0)
        ::RegDeleteKeyA(k.get(), "");
}

std::string ScriptedBody(size_t size) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return data;
}

bool TrustTestCa() {
    const std::string answer = BrokerCall("testca");
    if (answer.compare(0, 3, "ok ") != 0)
        return false;
    const std::string der = testenv::ReadFile(testenv::ToWindows(answer.substr(3)));
    HCERTSTORE root =
        ::CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    const bool added =
        root && ::CertAddEncodedCertificateToStore(
                    root, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                    static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (root)
        ::CertCloseStore(root, 0);
    return added;
}

std::string BrokerCall(const std::string& line) {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const char* port = std::getenv("TAV_BROKER_PORT");
    if (!started || !port || !*port)
        return "error no broker (run the test through cmake/wine-run)";
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer, request = line + "\n";
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        ::send(s, request.data(), static_cast<int>(request.size()), 0);
        char buf[512];
        for (int n;
             answer.find('\n') == std::string::npos && (n = ::recv(s, buf, sizeof(buf), 0)) > 0;)
            answer.append(buf, n);
    }
    ::closesocket(s);
    return answer.empty() ? "error broker unreachable" : answer.substr(0, answer.find('\n'));
}

FixtureServer::FixtureServer(const std::string& command) {
    std::istringstream answer(BrokerCall(command));
    std::string word, log;
    if (!(answer >> word) || word != "ok") {
        m_error = answer.str();
        return;
    }
    answer >> m_id >> m_port >> log;
    if (!log.empty())
        m_log = testenv::ToWindows(log);
}

FixtureServer FixtureServer::Ftp(const std::string& rootDir, const std::string& variant) {
    return FixtureServer("ftp " + testenv::ToUnix(rootDir) + " tav secret " + variant);
}
FixtureServer FixtureServer::Vsftpd(const std::string& rootDir, const std::string& variant) {
    return FixtureServer("vsftpd " + testenv::ToUnix(rootDir) + " " + variant);
}
FixtureServer FixtureServer::Nginx(const std::string& rootDir, const std::string& variant) {
    return FixtureServer("nginx " + testenv::ToUnix(rootDir) + " " + variant);
}
FixtureServer FixtureServer::Script(const std::string& rootDir, const std::string& variant) {
    return FixtureServer("script " + testenv::ToUnix(rootDir) +
                         (variant.empty() ? "" : " " + variant));
}

FixtureServer FixtureServer::Squid(const std::string& user, const std::string& password) {
    return FixtureServer(user.empty() ? "squid" : "squid " + user + " " + password);
}

FixtureServer::FixtureServer(FixtureServer&& other) noexcept
    : m_id(std::exchange(other.m_id, 0)), m_port(other.m_port), m_log(std::move(other.m_log)),
      m_error(std::move(other.m_error)) {}

FixtureServer::~FixtureServer() {
    Stop();
}

void FixtureServer::Stop() {
    if (m_id)
        BrokerCall("stop " + std::to_string(std::exchange(m_id, 0)));
}

int FixtureServer::CountRequests(const std::string& text) const {
    std::istringstream lines(testenv::ReadFile(m_log));
    int n = 0;
    for (std::string line; std::getline(lines, line);)
        n += line.find(text) != std::string::npos;
    return n;
}
