#include "AULMgr.h"

#include "AppName.h"
#include "DownloadDecision.h"
#include "LocalModules.h"
#include "ModuleStart.h"

#include <io.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

const char kNothingToRun[] = "ERROR, 실행할 모듈도  기본 실행 파일도 없습니다";
// Shown in the comparison trace where a time or a digest could not be had.
const char kUnknown[] = "unknown";
// How long a pass waits for another one on the machine to end.
const DWORD kOtherPassWaitMs = 10 * 60 * 1000;

} // namespace

CAULMgr::CAULMgr() : m_nStatus(STATUS_INIT), m_pView(nullptr) {
    m_nTraceLevel = 0;
    strcpy(m_szClassName, "CAULMgr");
    char logName[MAX_PATH];
    snprintf(logName, sizeof(logName), "%s.log", AfxGetAppName().c_str());
    OpenLog(logName);
    SetStatus(STATUS_INIT);
    m_downloader.SetOwner(this);
    m_policy = MakePassPolicy(*this, m_downloader, m_config);
}

CAULMgr::~CAULMgr() {
    SetStatus(STATUS_FINISH);
    ClearModules();
}

void CAULMgr::WriteTrace(int level, const char* format, va_list args) {
    CTraceBase::WriteTrace(level, format, args);
}

void CAULMgr::ClearModules() {
    while (!m_modules.empty())
        m_modules.pop_back();
    m_listedPaths.clear();
    m_bPathRepeated = false;
}

void CAULMgr::SetStatus(int code) {
    m_nStatus = code;
    if (m_pView)
        m_pView->ShowStage(code, STATUS_FINISH, StatusText(code));
}

void CAULMgr::ShowProgress(std::string name, DWORD total, DWORD done) {
    const int percent = ProgressPercent(done, total);
    if (!m_pView ||
        !m_progressThrottle.ShouldShow(!name.empty(), percent, done, total, ::GetTickCount()))
        return;
    // With an empty name the text of the file's first block stays.
    if (!name.empty())
        m_pView->ShowFileName("Downloading... " + name);
    m_pView->ShowFileProgress(percent, ProgressCounter(done, total));
}

int CAULMgr::LoadConfig(std::string path) {
    SetStatus(STATUS_LOAD_CONFIG);
    if (path.empty())
        path = ".\\TavUpdateInfo.ini";
    if (_access(path.c_str(), 0) != 0) {
        Trace(TRACE_ERROR,
              "ERROR : 설정 파일을 읽을수 없습니다.-%s \n해당 파일이 올바른 경로에 있는지 "
              "확인하시기 바랍니다.",
              path.c_str());
        return 0;
    }
    UseConfig(ReadUpdateConfig(path));

    TraceConfig(*this, path, m_config);
    return m_policy->Prepare();
}

void CAULMgr::UseConfig(const UpdateConfig& config) {
    m_config = config;
    m_servers = ServerAddresses(m_config.remoteAddress);
    m_policy = MakePassPolicy(*this, m_downloader, m_config);
}

int CAULMgr::BeginPass() {
    if (m_passLock.Acquire(0))
        return 1;
    Trace(TRACE_INFO, "BeginPass : another update pass runs; waiting for it to end");
    if (m_passLock.Acquire(kOtherPassWaitMs))
        return 1;
    Trace(TRACE_ERROR, "BeginPass : ERROR, another update pass still runs after %u s",
          static_cast<unsigned>(kOtherPassWaitMs / 1000));
    return 0;
}

void CAULMgr::EndPass() {
    m_policy->EndPass();
    m_heldFolders.clear();
    m_passLock.Release();
}

int CAULMgr::ConnectServer() {
    SetStatus(STATUS_CONNECT);
    m_bServerAnswered = false;
    return ConnectFrom(0);
}

int CAULMgr::ConnectFrom(size_t first) {
    const UpdateConfig& c = m_config;
    const int port = static_cast<unsigned short>(c.remotePort);
    for (m_nServer = first; m_nServer < m_servers.size(); ++m_nServer) {
        const char* address = m_servers[m_nServer].c_str();
        if (!m_downloader.SetLoginInfo(address, c.protocol, port, c.loginName, c.loginPassword)) {
            Trace(TRACE_ERROR, "ConnectServer :  ERROR SetLoginInfo(%s, %d,  %d, %s, %s) ", address,
                  c.protocol, port, c.loginName.c_str(), kHiddenPassword);
            return 0;
        }
        m_downloader.SetPassiveMode(c.passiveMode);
        m_downloader.SetProxy({c.proxy, c.proxyBypass, c.proxyLoginName, c.proxyLoginPassword});
        m_downloader.SetRevalidated({c.remoteVersionFile, c.remoteVersionFile + ".sig"});
        const int connected = m_downloader.Connect();
        m_bServerAnswered = m_bServerAnswered || m_downloader.ServerAnswered();
        if (connected) {
            Trace(TRACE_INFO, "ConnectServer(%s, %d, %d, %s, %s) : OK", address, c.protocol,
                  c.remotePort, c.loginName.c_str(), kHiddenPassword);
            return 1;
        }
        Trace(TRACE_ERROR, "ConnectServer(%s, %d,  %d, %s, %s) : ERROR", address, c.protocol,
              c.remotePort, c.loginName.c_str(), kHiddenPassword);
    }
    return 0;
}

int CAULMgr::GetVersionInfo() {
    SetStatus(STATUS_GET_VERSION);
    for (;;) {
        const int ok = m_policy->FetchList();
        // Over HTTP a server shows whether it can be reached only now.
        m_bServerAnswered = m_bServerAnswered || m_downloader.ServerAnswered();
        if (ok)
            m_outcome.server = m_servers[m_nServer];
        if (ok || m_nServer + 1 >= m_servers.size())
            return ok;
        Trace(TRACE_INFO, "GetVersionInfo : no usable list from %s, trying the next server",
              m_servers[m_nServer].c_str());
        SetStatus(STATUS_CONNECT);
        if (!ConnectFrom(m_nServer + 1))
            return 0;
        SetStatus(STATUS_GET_VERSION);
    }
}

int CAULMgr::ParseVersionInfo() {
    std::vector<std::string> lines;
    if (!m_policy->ReadList(lines))
        return 0;
    ClearModules();
    for (const std::string& line : lines)
        AddModuleLine(line);
    if (!m_bPathRepeated || !m_policy->RefusesRepeatedPaths())
        return 1;
    Trace(TRACE_ERROR, "ParseVersionInfo : ERROR, a local file listed twice in a signed list");
    ClearModules();
    return 0;
}

void CAULMgr::AddModuleLine(const std::string& line) {
    auto record = std::make_unique<ModuleRecord>();
    if (!versionlist::ParseLine(*this, line, *record))
        return;
    if (!m_policy->Admits(*record))
        return;
    // The first line of a file counts; a later one is skipped (and refuses a
    // signed list once all are read).
    if (!m_listedPaths.insert(FoldedPath(record->localFile)).second) {
        Trace(TRACE_ERROR, "ParseVersionInfo : ERROR, local file listed again, skipped : %s | %s",
              record->localFile.c_str(), record->remoteFile.c_str());
        m_bPathRepeated = true;
        return;
    }
    m_modules.push_back(std::move(record));
    const ModuleRecord& r = *m_modules.back();
    Trace(TRACE_INFO, "ParseVersionInfo : Module[%2d] = %s | %s | %s ",
          static_cast<int>(m_modules.size()), r.localFile.c_str(), r.remoteFile.c_str(),
          r.updateOption.c_str());
}

int CAULMgr::SplitList(char delimiter, std::string text, std::vector<std::string>& fields) {
    return versionlist::SplitFields(*this, delimiter, std::move(text), fields);
}

int CAULMgr::CompareVersionInfo() {
    SetStatus(STATUS_COMPARE);
    if (m_modules.empty()) {
        Trace(TRACE_ERROR, "CompareVersionInfo :  ERROR, 버전 정보가 없습니다.");
        return 0;
    }
    m_policy->BeginCompare(m_modules.size());
    // An elevated pass works only in folders the administrators own. What
    // ended passes left beside the modules goes first.
    const std::set<std::string> refused = FoldersNotAdministrators(m_modules, m_heldFolders);
    SweepModuleFolders(m_modules, refused);
    for (size_t i = 0; i < m_modules.size(); ++i) {
        ModuleRecord& r = *m_modules[i];
        if (!refused.count(ModuleFolder(r.localFile))) {
            CompareModule(i, r);
            continue;
        }
        r.download = 0;
        m_outcome.NoteModuleFailed("CompareVersionInfo");
        Trace(TRACE_ERROR,
              "CompareVersionInfo : Module[%2d] : %s : ERROR, folder not the administrators' : "
              "refused",
              static_cast<int>(i + 1), r.localFile.c_str());
    }
    if (!m_policy->EndCompare(m_modules, refused.empty()))
        m_outcome.NoteModuleFailed("CompareVersionInfo");
    return 1;
}

void CAULMgr::CompareModule(size_t index, ModuleRecord& r) {
    const int number = static_cast<int>(index + 1);
    DownloadFacts facts;
    facts.forced = HasUpdateOption(r, 'F');
    facts.listedSha256 = r.sha256;
    facts.listedSize = r.size;
    if (facts.forced) {
        r.download = 1;
        Trace(TRACE_INFO,
              "CompareVersionInfo : Module[%2d] : %s : Update Option(%s)-> will be downloded ",
              number, r.localFile.c_str(), r.updateOption.c_str());
        return;
    }
    if (!r.sha256.empty()) {
        // No server request: the listed digest alone says what the module must
        // be.
        std::string local;
        unsigned long long size = 0;
        if (m_policy->InstalledDigest(index, r, local, size)) {
            facts.localSha256 = local;
            facts.localSize = static_cast<long long>(size);
        }
        r.download = ShouldDownload(facts) ? 1 : 0;
        Trace(TRACE_INFO,
              "CompareVersionInfo : Module[%2d] : %s : Local SHA-256(%s) , Listed SHA-256(%s) -> "
              "Download =%d",
              number, r.localFile.c_str(), facts.localSha256 ? local.c_str() : kUnknown,
              r.sha256.c_str(), r.download);
        return;
    }
    time_t serverTime = 0;
    if (m_downloader.GetRemoteFileTime(r.remoteFile, &serverTime))
        facts.serverTime = serverTime;
    facts.localTime = LocalFileTime(r.localFile);
    r.download = ShouldDownload(facts) ? 1 : 0;
    Trace(TRACE_INFO,
          "CompareVersionInfo : Module[%2d] : %s : Local Time(%s) , Server Time(%s) -> "
          "Download =%d",
          number, r.localFile.c_str(), ShownTime(facts.localTime, kUnknown).c_str(),
          ShownTime(facts.serverTime, kUnknown).c_str(), r.download);
}

int CAULMgr::CountModulesToUpdate() {
    int count = 0;
    for (const auto& r : m_modules)
        if (r->download)
            ++count;
    return count;
}

int CAULMgr::DownloadNewFiles() {
    SetStatus(STATUS_DOWNLOAD);
    if (m_modules.empty()) {
        Trace(TRACE_ERROR, "DownloadNewFiles :  ERROR, 버전 정보가 없습니다.");
        return 0;
    }
    m_policy->Install(m_modules, m_outcome);
    return 1;
}

int CAULMgr::RegisterModule() {
    SetStatus(STATUS_REGISTER);
    for (size_t i = 0; i < m_modules.size(); ++i) {
        const ModuleRecord& r = *m_modules[i];
        // Selected but not fetched still registers: the local file is there.
        // A signed pass registers only what it put in place and holds.
        if (!HasUpdateOption(r, 'R') || !r.download)
            continue;
        std::string path = r.localFile;
        if (!m_policy->CheckedPath(i, r, "RegisterModule", path)) {
            m_outcome.NoteModuleFailed("RegisterModule");
            continue;
        }
        const int failedBefore = m_outcome.modulesFailed;
        if (_RegisterControl(path)) {
            Trace(TRACE_INFO, "RegisterModule : _RegisterControl(%s) OK", r.localFile.c_str());
            if (m_outcome.modulesFailed == failedBefore)
                ++m_outcome.modulesRegistered;
        } else {
            Trace(TRACE_ERROR, "RegisterModule : _RegisterControl(%s) ", r.localFile.c_str());
            ++m_outcome.modulesFailed;
        }
    }
    return 1;
}

int CAULMgr::_RegisterControl(std::string path) {
    HRESULT serverResult = S_OK;
    const Win32Result registered = RegisterServerIn(path, serverResult);
    if (registered.Ok()) {
        // Called, all this step answers for; a refusing server fails the module.
        if (FAILED(serverResult)) {
            Trace(TRACE_ERROR, "%s : DllRegisterServer returned 0x%08lx", path.c_str(),
                  static_cast<unsigned long>(serverResult));
            m_outcome.NoteModuleFailed(
                "RegisterModule",
                Win32Result::Failed("DllRegisterServer", static_cast<DWORD>(serverResult)));
        }
        return 1;
    }
    m_outcome.NoteFailure("RegisterModule", registered);
    Trace(TRACE_ERROR, "_RegisterControl : ERROR, %s(%s), EC=%d", registered.FailedCall(),
          path.c_str(), static_cast<int>(registered.Error()));
    return 0;
}

int CAULMgr::LaunchModule() {
    SetStatus(STATUS_LAUNCH);
    // A signed pass starts only what it checked and holds: after a release
    // that did not go in, the programs of the release still installed.
    const ModuleList& modules = m_policy->ModulesToStart(m_modules);
    int tried = 0;
    for (size_t i = 0; i < modules.size(); ++i) {
        const ModuleRecord& r = *modules[i];
        if (!HasUpdateOption(r, 'E'))
            continue;
        std::string program = r.localFile;
        if (!m_policy->CheckedPath(i, r, "LaunchModule", program))
            continue;
        // A start that fails still counts: the default program is no stand-in.
        ++tried;
        if (m_bUnattended)
            Trace(TRACE_INFO, "LaunchModule : %s not started: unattended pass", program.c_str());
        else if (_ExecuteApp(program, std::string()))
            Trace(TRACE_INFO, "LaunchModule : _ExecuteApp(%s) OK", program.c_str());
        else
            Trace(TRACE_ERROR, "LaunchModule : _ExecuteApp(%s) ", program.c_str());
    }
    if (tried > 0)
        return 1;

    const std::string& defaultExec = m_config.defaultExecFile;
    // Unattended, the client is its user's to start: nothing to start is fine.
    if (m_bUnattended)
        return 1;
    if (defaultExec.empty() || _access(defaultExec.c_str(), 0) != 0) {
        Trace(TRACE_ERROR, "LaunchModule :  %s", kNothingToRun);
        // The worker waits here until the user dismisses it; the next pass
        // need not.
        m_passLock.Release();
        if (m_pView)
            m_pView->ShowNothingToRun(kNothingToRun);
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
    const Win32Result started = StartProgram(path, arguments);
    if (!started.Ok()) {
        ++m_nFailedStarts;
        m_outcome.NoteFailure("LaunchModule", started);
        if (started.Error() == ERROR_NO_TOKEN)
            Trace(TRACE_ERROR,
                  "%s : ERROR, no desktop user's token to start it with: not started elevated",
                  path.c_str());
        Trace(TRACE_ERROR, "%s : CreateProcess ERROR. EC=%d ", path.c_str(),
              static_cast<int>(started.Error()));
        return 0;
    }
    Trace(TRACE_INFO, "%s : CreateProcess ====> OK", path.c_str());
    ++m_outcome.programsStarted;
    return 1;
}
