#include "ModuleStart.h"

#include "ComInit.h"
#include "FullPathName.h"
#include "ShellUserStart.h"
#include "UniqueHandle.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The library and what it imports from its own folder and the system's only:
// the elevated updater must not load a library a user put in its current
// folder or on PATH. Systems without the search flags (before KB2533623)
// refuse them; there the library's folder still comes first.
HMODULE LoadModuleLibrary(const std::string& path) {
    const std::string file = FullPathOrAsGiven(path);
    HMODULE library =
        ::LoadLibraryExA(file.c_str(), nullptr, // reserved
                         LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!library && ::GetLastError() == ERROR_INVALID_PARAMETER)
        library = ::LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return library;
}

} // namespace

void RestrictLibrarySearch() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories)
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

Win32Result RegisterServerIn(const std::string& path, HRESULT& serverResult) {
    // Servers may use COM while they register; the library goes before the
    // apartment does.
    CComApartment apartment;
    unique_hmodule library(LoadModuleLibrary(path));
    if (!library)
        return Win32Result::Failed("LoadLibrary");
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    // Through the generic function type: the export is looked up by name only.
    auto registerServer = reinterpret_cast<RegisterServer>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "DllRegisterServer")));
    if (!registerServer)
        return Win32Result::Failed("GetProcAddress");
    serverResult = registerServer();
    return Win32Result();
}

Win32Result StartProgram(const std::string& path, const std::string& arguments) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
#if defined(_M_IX86) || defined(__i386__)
    static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit startup record is 68 bytes");
#endif

    // The split buffers are as long as a whole path, so no part of a path
    // that fits MAX_PATH can overrun them; longer paths cannot start anyway.
    if (path.size() >= _MAX_PATH)
        return Win32Result::Failed("CreateProcess", ERROR_FILENAME_EXCED_RANGE);
    char drive[_MAX_DRIVE];
    char dir[_MAX_PATH];
    char workDir[_MAX_PATH];
    _splitpath(path.c_str(), drive, dir, nullptr, nullptr);
    _makepath(workDir, drive, dir, nullptr, nullptr);

    const std::string text = "\"" + path + "\" " + arguments;
    std::vector<char> commandLine(text.begin(), text.end());
    commandLine.push_back('\0');

    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof(process));
    // A bare program name has no folder of its own: it starts in ours
    // (an empty folder text would make the start fail).
    const char* folder = workDir[0] ? workDir : nullptr;
    // Elevated, a program starts with the desktop user's token or not at
    // all: never with ours.
    const ShellUserStart user = ShellUserToken();
    if (!user.asUsual && !user.token)
        return Win32Result::Failed("ShellUserToken", ERROR_NO_TOKEN);
    if (user.token) {
        const Win32Result started = StartWithToken(user.token.get(), text, folder, &process);
        if (!started.Ok())
            return started;
    } else if (!::CreateProcessA(nullptr, commandLine.data(),
                                 nullptr, // process security
                                 nullptr, // thread security
                                 FALSE,   // no handle inheritance
                                 NORMAL_PRIORITY_CLASS,
                                 nullptr, // our environment
                                 folder, &startup, &process)) {
        return Win32Result::Failed("CreateProcess");
    }
    // The program runs on its own; we neither wait for it nor keep it.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return Win32Result();
}
