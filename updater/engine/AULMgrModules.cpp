#include "AULMgr.h"

#include "ComInit.h"
#include "ShellUserStart.h"
#include "UniqueHandle.h"
#include "WinApp.h"

#include <io.h>

#include <cstring>

namespace {
const char kNothingToRun[] = "ERROR, 실행할 모듈도  기본 실행 파일도 없습니다";
} // namespace

int CAULMgr::RegisterModule() {
    SetStatus(STATUS_REGISTER);
    for (size_t i = 0; i < m_modules.size(); ++i) {
        const ModuleRecord& r = *m_modules[i];
        // Selected but not fetched still registers: the local file is there.
        if (!HasUpdateOption(r, 'R') || !r.download)
            continue;
        if (_RegisterControl(r.localFile))
            Trace(TRACE_INFO, "RegisterModule : _RegisterControl(%s) OK", r.localFile.c_str());
        else
            Trace(TRACE_ERROR, "RegisterModule : _RegisterControl(%s) ", r.localFile.c_str());
    }
    return 1;
}

int CAULMgr::_RegisterControl(std::string path) {
    // Servers may use COM while they register; the library goes before the
    // apartment does.
    CComApartment apartment;
    unique_hmodule library(::LoadLibraryA(path.c_str()));
    if (!library) {
        Trace(TRACE_ERROR, "_RegisterControl : ERROR, LoadLibrary(%s), EC=%d", path.c_str(),
              static_cast<int>(::GetLastError()));
        return 0;
    }
    using RegisterServer = HRESULT(STDAPICALLTYPE*)();
    // Through the generic function type: the export is looked up by name only.
    auto registerServer = reinterpret_cast<RegisterServer>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "DllRegisterServer")));
    if (!registerServer) {
        Trace(TRACE_ERROR, "_RegisterControl : ERROR, GetProcAddress(%s), EC=%d", path.c_str(),
              static_cast<int>(::GetLastError()));
        return 0;
    }
    // A server that reports failure still counts as registered.
    registerServer();
    return 1;
}

int CAULMgr::LaunchModule() {
    SetStatus(STATUS_LAUNCH);
    int tried = 0;
    for (size_t i = 0; i < m_modules.size(); ++i) {
        const ModuleRecord& r = *m_modules[i];
        if (!HasUpdateOption(r, 'E'))
            continue;
        // A start that fails still counts: the default program is no stand-in.
        ++tried;
        if (_ExecuteApp(r.localFile, std::string()))
            Trace(TRACE_INFO, "LaunchModule : _ExecuteApp(%s) OK", r.localFile.c_str());
        else
            Trace(TRACE_ERROR, "LaunchModule : _ExecuteApp(%s) ", r.localFile.c_str());
    }
    if (tried > 0)
        return 1;

    const std::string& defaultExec = m_config.defaultExecFile;
    if (defaultExec.empty() || _access(defaultExec.c_str(), 0) != 0) {
        Trace(TRACE_ERROR, "LaunchModule :  %s", kNothingToRun);
        // Captioned with the application's name and owned by its main window;
        // the worker waits here until the user dismisses it.
        AfxMessageBox(kNothingToRun, MB_OK, 0);
        return 0;
    }
    Trace(TRACE_WARNING,
          "LaunchModule :  경고, 실행할 모듈이 없습니다. 기본 실행 파일을 실행합니다");
    if (_ExecuteApp(defaultExec, std::string()))
        Trace(TRACE_INFO, "LaunchModule : _ExecuteApp(%s) OK", defaultExec.c_str());
    else
        Trace(TRACE_ERROR, "LaunchModule : _ExecuteApp(%s) ", defaultExec.c_str());
    return 1;
}

int CAULMgr::_ExecuteApp(std::string path, std::string arguments) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
#if defined(_M_IX86) || defined(__i386__)
    static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit startup record is 68 bytes");
#endif

    // The split buffers are as long as a whole path, so no part of a path
    // that fits MAX_PATH can overrun them; longer paths cannot start anyway.
    if (path.size() >= _MAX_PATH) {
        Trace(TRACE_ERROR, "%s : CreateProcess ERROR. EC=%d ", path.c_str(),
              static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
        return 0;
    }
    char drive[_MAX_DRIVE];
    char dir[_MAX_PATH];
    char workDir[_MAX_PATH];
    _splitpath(path.c_str(), drive, dir, nullptr, nullptr);
    _makepath(workDir, drive, dir, nullptr, nullptr);

    std::string text = "\"" + path + "\" " + arguments;
    std::vector<char> commandLine(text.begin(), text.end());
    commandLine.push_back('\0');

    PROCESS_INFORMATION process;
    std::memset(&process, 0, sizeof(process));
    // A bare program name has no folder of its own: it starts in ours
    // (an empty folder text would make the start fail).
    const char* folder = workDir[0] ? workDir : nullptr;
    // Where the start with the user's token cannot be had (the secondary
    // logon service disabled, say), the program still starts, as before.
    const unique_handle userToken = ShellUserToken();
    BOOL created = userToken && StartWithToken(userToken.get(), text, folder, &process);
    if (!created)
        created = ::CreateProcessA(nullptr, commandLine.data(),
                                   nullptr, // process security
                                   nullptr, // thread security
                                   FALSE,   // no handle inheritance
                                   NORMAL_PRIORITY_CLASS,
                                   nullptr, // our environment
                                   folder, &startup, &process);
    if (!created) {
        Trace(TRACE_ERROR, "%s : CreateProcess ERROR. EC=%d ", path.c_str(),
              static_cast<int>(::GetLastError()));
        return 0;
    }
    // The program runs on its own; we neither wait for it nor keep it.
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    Trace(TRACE_INFO, "%s : CreateProcess ====> OK", path.c_str());
    return 1;
}
