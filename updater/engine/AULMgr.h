#pragma once
// The update manager: one pass's configuration, module list and downloader,
// and the stages that run them in order, shown on the view the update window
// gives it. The work of each stage lies in units of its own; the stages here
// decide, trace and report.

#include "Crypto.h"
#include "ModuleOptions.h"
#include "NetDownLoader.h"
#include "PassLock.h"
#include "ProgressThrottle.h"
#include "Release.h"
#include "TraceBase.h"
#include "UpdateConfig.h"
#include "UpdateView.h"
#include "VersionList.h"

#include <memory>
#include <string>
#include <vector>

// Status codes, each with its text on the stage line.
enum {
    STATUS_INIT = 0,
    STATUS_LOAD_CONFIG = 1,
    STATUS_CONNECT = 2,
    STATUS_GET_VERSION = 3,
    STATUS_COMPARE = 4,
    STATUS_DOWNLOAD = 5,
    STATUS_REGISTER = 6,
    STATUS_LAUNCH = 7,
    STATUS_FINISH = 8,
};

const char* StatusText(int code);

class CAULMgr : public CTraceBase, public IDownloadProgress {
public:
    using ModuleList = std::vector<std::unique_ptr<ModuleRecord>>;

    CAULMgr();
    ~CAULMgr() override;
    CAULMgr(const CAULMgr&) = delete;
    CAULMgr& operator=(const CAULMgr&) = delete;

    void WriteTrace(int level, const char* format, va_list args) override;

    // Where the pass is shown, given once by the worker before its first
    // stage. Without a view nothing is shown.
    void AttachView(IUpdateView* view) { m_pView = view; }

    void SetStatus(int code);
    void ShowProgress(std::string name, DWORD total, DWORD done) override;

    int LoadConfig(std::string path);
    // One pass at a time on the machine: waits (showing the stage that read
    // the configuration) until no other pass runs, up to ten minutes; 0 when
    // another still runs then. EndPass lets the next one go.
    int BeginPass();
    void EndPass();
    int ConnectServer();
    int GetVersionInfo();
    int ParseVersionInfo();
    int SplitList(char delimiter, std::string text, std::vector<std::string>& fields);
    int CompareVersionInfo();
    int CountModulesToUpdate();
    int DownloadNewFiles();
    int RegisterModule();
    int _RegisterControl(std::string path);
    int LaunchModule();
    int _ExecuteApp(std::string path, std::string arguments);

    // What went wrong after the list was read, for the program's exit code:
    // modules not installed or not registered, programs that did not start.
    int FailedModules() const { return m_nFailedModules; }
    int FailedStarts() const { return m_nFailedStarts; }
    bool ServerAnswered() const { return m_downloader.ServerAnswered(); }

    const UpdateConfig& Config() const { return m_config; }
    void SetConfig(const UpdateConfig& config) { m_config = config; }
    const ModuleList& Modules() const { return m_modules; }
    void AddModule(std::unique_ptr<ModuleRecord> record) { m_modules.push_back(std::move(record)); }

private:
    bool IsSigningOn() const { return m_config.signingKey.has_value(); }
    int GetSignedVersionInfo();
    void AddModuleLine(const std::string& line);
    void CompareModule(size_t index, ModuleRecord& record);
    int DownloadModule(const ModuleRecord& record, DWORD size);
    // The verified list becomes the local one once its release is in place.
    void KeepVerifiedList();
    // After a signed release did not go in: the release the local list says
    // is installed, its programs held where they have the digest and size
    // the list gives them.
    void HoldInstalledRelease(ModuleList& modules, CRelease& release);
    void ClearModules();

    UpdateConfig m_config;
    // The bytes of the list whose signature a signed pass checked; the pass
    // reads its modules from these, never from the file again.
    std::string m_strVerifiedList;
    std::string m_strVerifiedSignature;
    // The configured key, once the version stage has imported it.
    CSigningKey m_signingKey;
    ModuleList m_modules;
    CNetDownLoader m_downloader;
    int m_nStatus;
    IUpdateView* m_pView;
    CProgressThrottle m_progressThrottle;
    CPassLock m_passLock;
    // The signed pass's modules as it checked them, held until it ends.
    CRelease m_release{*this, m_downloader};
    bool m_bReleaseFailed = false;
    int m_nFailedModules = 0;
    int m_nFailedStarts = 0;
};
