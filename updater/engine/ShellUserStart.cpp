#include "ShellUserStart.h"
#include "Elevation.h"
#include "Widen.h"

#include <vector>

ShellUserStart ShellUserToken() {
    ShellUserStart start;
    unique_handle own;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.put()) ||
        !IsTokenElevated(own.get())) {
        start.asUsual = true;
        return start;
    }
    DWORD shellProcessId = 0;
    HWND shell = ::GetShellWindow();
    if (!shell || !::GetWindowThreadProcessId(shell, &shellProcessId) || !shellProcessId)
        return start;
    unique_handle shellProcess(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shellProcessId));
    unique_handle shellToken;
    if (!shellProcess ||
        !::OpenProcessToken(shellProcess.get(), TOKEN_DUPLICATE | TOKEN_QUERY, shellToken.put()))
        return start;
    // Taken also when the shell runs elevated (no split token): its user
    // need not be ours (a pass run as SYSTEM in the user's session).
    ::DuplicateTokenEx(shellToken.get(),
                       TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                           TOKEN_ADJUST_SESSIONID,
                       nullptr, SecurityImpersonation, TokenPrimary, start.token.put());
    return start;
}

Win32Result StartWithToken(HANDLE token, const std::string& commandLine, const char* workDir,
                           PROCESS_INFORMATION* process) {
    // Looked up by name: systems before Vista lack it (and never get here).
    using CreateWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR,
                                          LPSTARTUPINFOW, LPPROCESS_INFORMATION);
    auto createWithToken = reinterpret_cast<CreateWithToken>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("advapi32.dll"), "CreateProcessWithTokenW")));
    if (!createWithToken)
        return Win32Result::Failed("GetProcAddress", ERROR_PROC_NOT_FOUND);
    std::wstring text = WidenAnsi(commandLine.c_str());
    std::vector<wchar_t> line(text.begin(), text.end());
    line.push_back(L'\0');
    const std::wstring folder = workDir ? WidenAnsi(workDir) : std::wstring();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!createWithToken(token, 0, // no profile of its own: the shell's is loaded
                         nullptr, line.data(), NORMAL_PRIORITY_CLASS,
                         nullptr, // the shell user's environment
                         workDir ? folder.c_str() : nullptr, &startup, process))
        return Win32Result::Failed("CreateProcessWithTokenW");
    return Win32Result();
}
