#include "OmbletClient.h"
#include "ClientCommand.h"
#include "FullPath.h"
#include "ClientPayload.h"
#include "FormatText.h"
#include "LogFile.h"
#include "UniqueHandle.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {

const char kAppPathsKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\OmbletPlus.exe";
// Below the user's own local application data.
const char kDefaultLogName[] = "\\Tav\\TavWebOmblet.log";
const char kLogSource[] = "CTavWebOmbletCtrl";

// Long enough for a client that is busy, short enough for a page to bear.
const UINT kSendTimeoutMs = 5000;

// The control runs with the page's user's rights: by default it logs into
// that user's profile, never into a folder the machine shares.
std::string DefaultLogPath() {
    char folder[MAX_PATH] = {};
    if (FAILED(
            ::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::string();
    return folder + std::string(kDefaultLogName);
}

} // namespace

COmbletClient::COmbletClient() {
    std::memset(m_szSystemDir, 0, sizeof(m_szSystemDir));
    ::GetSystemDirectoryA(m_szSystemDir, sizeof(m_szSystemDir));
    try {
        const LogPolicy policy =
            ReadLogPolicy(policy::kControlTraceLevel, policy::kControlTraceFile, DefaultLogPath());
        if (policy.level != 0) {
            // An administrator's file is used where it is: the user makes
            // no folder for it.
            m_pLogFile.reset(new CLogFile(policy.path, policy.named ? LogFolders::NeverMade
                                                                    : LogFolders::ForTheUser));
            m_nLogLevel = policy.level;
        }
    } catch (...) {
        // No log: the control works as without one.
    }
}

COmbletClient::~COmbletClient() = default;

void COmbletClient::Log(int level, const char* format, ...) {
    if (!Logs(level))
        return;
    va_list args;
    va_start(args, format);
    try {
        m_pLogFile->Write(kLogSource, level, FormatTextV(format, args));
    } catch (...) {
    }
    va_end(args);
}

void COmbletClient::Launch(const char* caller, const std::string& program,
                           const std::string& parameters) {
    // Fire and forget: the page learns nothing of a failed start. The
    // parameters may carry the password and stay out of the log.
    const INT_PTR code = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(nullptr, nullptr, // default verb
                        program.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL));
    if (code <= 32)
        Log(TRACE_ERROR, "%s : ERROR, ShellExecute(%s) failed, code %d", caller, program.c_str(),
            static_cast<int>(code));
}

long COmbletClient::LocateClient() {
    char value[128] = {};
    DWORD type = REG_SZ;
    DWORD size = sizeof(value);
    unique_hkey key;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return 0;
    // A missing or too long value leaves the zeroed buffer: an empty path.
    if (::RegQueryValueExA(key.get(), "", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        std::memset(value, 0, sizeof(value));
    key.reset();
    value[sizeof(value) - 1] = '\0';
    m_strClientDir = ClientDirFromPath(value);
    return 1;
}

void COmbletClient::InstallClient() {
    char systemDir[MAX_PATH] = {};
    ::GetSystemDirectoryA(systemDir, sizeof(systemDir));
    Launch("InstallClient", std::string(m_szSystemDir) + kUpdaterProgram,
           std::string(systemDir) + kUpdaterConfig);
}

void COmbletClient::StartClient(const char* id, const char* name, const char* password) {
    std::string program;
    if (!CanStartWith(id, name, password))
        Log(TRACE_ERROR, "StartClient : ERROR, a login value would end its argument early");
    else if (ClientProgram(program))
        Launch("StartClient", program, BuildStartCommand(id, name, password));
    StoreLogin(id, name, password);
}

void COmbletClient::StopClient() {
    std::string program;
    if (ClientProgram(program))
        Launch("StopClient", program, kStopCommand);
}

void COmbletClient::JoinConference(const char* key) {
    std::string program;
    if (!IsBareArgumentSafe(key))
        Log(TRACE_ERROR, "JoinConference : ERROR, the key would end its argument early");
    else if (ClientProgram(program))
        Launch("JoinConference", program, BuildJoinCommand(key));
}

void COmbletClient::StoreLogin(const char* id, const char* name, const char* password) {
    MergeLogin(m_strUserID, m_strUserName, m_strPassword, id, name, password);
}

bool COmbletClient::EnsureClientRunning() {
    if (FindClientWindow())
        return true;
    // Nothing can be started from an unknown place, so nothing to wait for.
    std::string program;
    if (!ClientProgram(program))
        return false;
    StartClient(m_strUserID.c_str(), m_strUserName.c_str(), m_strPassword.c_str());
    ::Sleep(1000);
    for (int lookup = 0; lookup < 3; ++lookup) {
        if (FindClientWindow()) {
            // The client has just come up; give it time to get ready.
            HCURSOR previous = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
            ::Sleep(3000);
            ::SetCursor(previous);
            return true;
        }
    }
    Log(TRACE_ERROR, "EnsureClientRunning : ERROR, no window \"%s\" after the start",
        kClientWindowTitle);
    return false;
}

long COmbletClient::SendToClient(unsigned long code, const std::string& payload) {
    HWND client = FindClientWindow();
    if (!client) {
        Log(TRACE_ERROR, "SendToClient(%lu) : ERROR, no window \"%s\"", code, kClientWindowTitle);
        return 0;
    }
    COPYDATASTRUCT data = {};
    data.dwData = code;
    data.cbData = static_cast<DWORD>(payload.size());
    data.lpData = payload.empty() ? nullptr : const_cast<char*>(payload.data());
    // A client that has stopped reading its messages must not hold the
    // page's thread; what its window procedure answers is not looked at.
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutA(client, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer)) {
        Log(TRACE_ERROR, "SendToClient(%lu) : ERROR, the window did not take it, EC=%d", code,
            static_cast<int>(::GetLastError()));
        return 0;
    }
    return 1;
}

long COmbletClient::TavOBInstalled() {
    return LocateClient();
}

void COmbletClient::TavOmbletInstall() {
    InstallClient();
}

void COmbletClient::TavStartOmblet(const char* strID, const char* strName,
                                   const char* strPassword) {
    StartClient(strID, strName, strPassword);
}

void COmbletClient::TavStopOmblet() {
    StopClient();
}

long COmbletClient::TavOpenMeetingWindow(const char* strID, const char* strName,
                                         const char* strPassword) {
    StoreLogin(strID, strName, strPassword);
    if (!EnsureClientRunning())
        return 0;
    return SendToClient(CD_OPEN_MEETING_WINDOW, std::string());
}

long COmbletClient::TavOpenP2PCall(const char* strID, const char* strName, const char* strPassword,
                                   const char* strUserID, const char* strUserName) {
    StoreLogin(strID, strName, strPassword);
    if (HasSeparatorByte(strUserID) || HasSeparatorByte(strUserName))
        return 0;
    if (!EnsureClientRunning())
        return 0;
    return SendToClient(CD_OPEN_P2P_CALL, BuildP2PCallPayload(strUserID, strUserName));
}

long COmbletClient::TavOpenMeetingRoom(const char* strID, const char* strName,
                                       const char* strPassword, const char* strUser) {
    StoreLogin(strID, strName, strPassword);
    if (HasSeparatorByte(strUser))
        return 0;
    if (!EnsureClientRunning())
        return 0;
    return SendToClient(CD_OPEN_MEETING_ROOM, BuildMeetingRoomPayload(strUser));
}

void COmbletClient::TavIntoMeetingRoom(const char* strID, const char* strName,
                                       const char* strPassword, const char* strkey) {
    StoreLogin(strID, strName, strPassword);
    // A key that will not be joined must not start the client and block the
    // page first.
    if (!IsBareArgumentSafe(strkey))
        return;
    if (EnsureClientRunning())
        JoinConference(strkey);
}

HWND COmbletClient::FindClientWindow() {
    ++m_nWindowLookups;
    return ::FindWindowA(nullptr, kClientWindowTitle);
}

bool COmbletClient::ClientProgram(std::string& program) {
    if (!IsFullPath(m_strClientDir + kClientProgram))
        LocateClient();
    program = m_strClientDir + kClientProgram;
    if (IsFullPath(program))
        return true;
    Log(TRACE_ERROR, "ClientProgram : ERROR, App Paths names no full path (folder \"%s\")",
        m_strClientDir.c_str());
    return false;
}
