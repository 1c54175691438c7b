#include "TaskSchedule.h"

#include "ComInit.h"
#include "ComPtr.h"
#include "FullPathName.h"
#include "TaskXml.h"
#include "Widen.h"

#include <windows.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cstring>

namespace {

const wchar_t kTaskName[] = L"TavUpdate";

// A logon trigger has no random delay of its own: each machine draws its
// own delay once, so a fleet whose users log on at nine does not ask at nine.
const int kMinLogonDelayMinutes = 5;
const int kMaxLogonDelayMinutes = 30;

int LogonDelayMinutes() {
    LARGE_INTEGER now = {};
    ::QueryPerformanceCounter(&now);
    const unsigned long long mixed =
        static_cast<unsigned long long>(now.QuadPart) * 0x9E3779B97F4A7C15ull ^
        (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32);
    return kMinLogonDelayMinutes +
           static_cast<int>((mixed >> 33) % (kMaxLogonDelayMinutes - kMinLogonDelayMinutes + 1));
}

class CBstr {
public:
    explicit CBstr(const std::wstring& text)
        : m_b(::SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()))) {}
    ~CBstr() { ::SysFreeString(m_b); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR get() const { return m_b; }

private:
    BSTR m_b;
};

VARIANT NoValue() {
    VARIANT v;
    ::VariantInit(&v);
    return v;
}

// The service of this machine, connected as the caller.
HRESULT ConnectService(com_ptr<ITaskService>& service, com_ptr<ITaskFolder>& root,
                       const char*& failed) {
    // The service acts as its caller, which the default level (identify)
    // would not let it; a second call in the process changes nothing.
    ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, 0, nullptr);
    failed = "CoCreateInstance(TaskScheduler)";
    HRESULT hr = ::CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskService, service.put_void());
    if (FAILED(hr))
        return hr;
    failed = "ITaskService::Connect";
    hr =
        service->Connect(NoValue(), NoValue(), NoValue(), NoValue()); // this machine, as the caller
    if (FAILED(hr))
        return hr;
    failed = "ITaskService::GetFolder";
    CBstr rootName(L"\\");
    return service->GetFolder(rootName.get(), root.put());
}

} // namespace

CTaskSchedule::CTaskSchedule() {
    std::strcpy(m_szClassName, "CTaskSchedule");
    OpenLog("TaskSchedule.log");
}

int CTaskSchedule::Register(const UpdateCommandLine& line) {
    if (line.command != UpdateCommand::Schedule) {
        Trace(TRACE_ERROR, "Register : ERROR, the arguments are not [HH:MM] [/delay H] (0 to %d)",
              kMaxDelayHours);
        return 0;
    }
    char program[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        Trace(TRACE_ERROR, "Register : ERROR, GetModuleFileName, EC=%d",
              static_cast<int>(::GetLastError()));
        return 0;
    }
    const std::string given = line.configPath.empty() ? ".\\TavUpdateInfo.ini" : line.configPath;
    std::string config;
    const Win32Result full = FullPathName(given, config);
    if (!full.Ok()) {
        Trace(TRACE_ERROR, "Register : ERROR, GetFullPathName(%s), EC=%d", given.c_str(),
              static_cast<int>(full.Error()));
        return 0;
    }

    TaskPlan plan;
    plan.program = WidenAnsi(program);
    plan.configPath = WidenAnsi(config.c_str());
    SYSTEMTIME today = {};
    ::GetLocalTime(&today);
    plan.year = today.wYear;
    plan.month = today.wMonth;
    plan.day = today.wDay;
    plan.hour = line.hour;
    plan.minute = line.minute;
    plan.delayHours = line.delayHours;
    plan.logonDelayMinutes = LogonDelayMinutes();

    CComApartment apartment;
    com_ptr<ITaskService> service;
    com_ptr<ITaskFolder> root;
    const char* failed = "";
    HRESULT hr = ConnectService(service, root, failed);
    if (SUCCEEDED(hr)) {
        failed = "ITaskFolder::RegisterTask";
        CBstr name(kTaskName);
        CBstr xml(TaskXml(plan));
        VARIANT user = NoValue();
        user.vt = VT_BSTR;
        user.bstrVal = ::SysAllocString(L"SYSTEM");
        com_ptr<IRegisteredTask> task;
        hr = root->RegisterTask(name.get(), xml.get(), TASK_CREATE_OR_UPDATE, user,
                                NoValue(), // no password: a service account
                                TASK_LOGON_SERVICE_ACCOUNT,
                                NoValue(), // the folder's own security
                                task.put());
        ::VariantClear(&user);
    }
    if (FAILED(hr)) {
        Trace(TRACE_ERROR, "Register : ERROR, %s, EC=0x%08lX", failed,
              static_cast<unsigned long>(hr));
        return 0;
    }
    Trace(TRACE_INFO, "Register : task TavUpdate, \"%s\" \"%s\" /unattended at %02d:%02d + %dh",
          program, config.c_str(), line.hour, line.minute, line.delayHours);
    return 1;
}

int CTaskSchedule::Remove() {
    CComApartment apartment;
    com_ptr<ITaskService> service;
    com_ptr<ITaskFolder> root;
    const char* failed = "";
    HRESULT hr = ConnectService(service, root, failed);
    if (SUCCEEDED(hr)) {
        failed = "ITaskFolder::DeleteTask";
        CBstr name(kTaskName);
        hr = root->DeleteTask(name.get(), 0);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            hr = S_OK;
    }
    if (FAILED(hr)) {
        Trace(TRACE_ERROR, "Remove : ERROR, %s, EC=0x%08lX", failed,
              static_cast<unsigned long>(hr));
        return 0;
    }
    Trace(TRACE_INFO, "Remove : task TavUpdate removed");
    return 1;
}
