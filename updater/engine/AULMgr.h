#pragma once
// The update manager: one pass's configuration, module list and downloader,
// and the stages that run them in order, shown on the view the update window
// gives it. The work of each stage lies in units of its own; the stages here
// decide, trace and report.

#include "ModuleOptions.h"
#include "NetDownLoader.h"
#include "PassOutcome.h"
#include "PassPolicy.h"
#include "PassLock.h"
#include "ProgressThrottle.h"
#include "StatusText.h"
#include "TraceBase.h"
#include "UniqueHandle.h"
#include "UpdateConfig.h"
#include "UpdateView.h"
#include "VersionList.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

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

    // One whole pass on the view: the stages in their order, 100 ms apart,
    // the launch stage whatever came before; the next pass may begin once it
    // returns. The view is kept until another is attached. An unattended
    // pass starts no program and so shows no notice.
    PassOutcome RunPass(const PassOptions& options, IUpdateView* view);

    int LoadConfig(std::string path);
    // One pass at a time on the machine: waits (showing the stage that read
    // the configuration) until no other pass runs, up to ten minutes; 0 when
    // another still runs then. EndPass lets the next one go.
    int BeginPass();
    void EndPass();
    // Connects to the first server of "Remote Address" that takes the
    // connection; the version stage moves on to the next one while a server
    // gives no usable list. The modules come from the one whose list is taken.
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

    // Modules refused, not installed or not registered so far.
    int FailedModules() const { return m_outcome.modulesFailed; }

    const UpdateConfig& Config() const { return m_config; }
    const ModuleList& Modules() const { return m_modules; }

private:
    // Tests set a configuration or a module list without a file.
    friend struct EngineTestAccess;

    // The configuration of the pass; a signing key makes it a signed pass.
    void UseConfig(const UpdateConfig& config);
    // Connects to the servers from the one at first on, in order, until one
    // takes the connection; 0 when none does.
    int ConnectFrom(size_t first);
    void AddModuleLine(const std::string& line);
    void CompareModule(size_t index, ModuleRecord& record);
    void ClearModules();

    UpdateConfig m_config;
    ModuleList m_modules;
    // The local paths of the listed modules, folded (LocalModules.h).
    std::set<std::string> m_listedPaths;
    bool m_bPathRepeated = false;
    CNetDownLoader m_downloader;
    // The servers of the configuration in the order they are tried, and the
    // one connected to.
    std::vector<std::string> m_servers;
    size_t m_nServer = 0;
    bool m_bServerAnswered = false;
    int m_nStatus;
    IUpdateView* m_pView;
    CProgressThrottle m_progressThrottle;
    CPassLock m_passLock;
    // The module folders the comparison checked, held open until the pass
    // ends so that the ones its work uses are the ones checked.
    std::vector<unique_hfile> m_heldFolders;
    // Signed or not, chosen with the configuration.
    std::unique_ptr<IPassPolicy> m_policy;
    // What the pass came to so far.
    PassOutcome m_outcome;
    int m_nFailedStarts = 0;
    // A pass without a window: it starts no program.
    bool m_bUnattended = false;
};
