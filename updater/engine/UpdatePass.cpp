// One update pass: the stages in their order and the outcome they come to.
#include "AULMgr.h"
#include "EndedSwaps.h"
#include "PassReport.h"

namespace {

// Between the stages, as the window has always shown them.
void Pause() {
    ::Sleep(100);
}

reportquery::PassFacts ReportedFacts(const PassOutcome& outcome, const UpdateConfig& config,
                                     const PassOptions& options) {
    reportquery::PassFacts facts;
    facts.exitCode = static_cast<unsigned long>(outcome.exitCode);
    facts.serial = outcome.installedSerial;
    facts.listPath = config.remoteVersionFile;
    facts.fetched = static_cast<unsigned long>(outcome.modulesFetched);
    facts.failed = static_cast<unsigned long>(outcome.modulesFailed);
    facts.bytes = outcome.bytesReceived;
    facts.seconds = outcome.durationMs / 1000;
    facts.unattended = options.unattended;
    facts.server = outcome.server;
    return facts;
}

} // namespace

PassOutcome CAULMgr::RunPass(const PassOptions& options, IUpdateView* view) {
    const DWORD began = ::GetTickCount();
    AttachView(view);
    m_outcome = PassOutcome();
    m_nFailedStarts = 0;
    m_bUnattended = options.unattended;
    // The first stage that fails names the pass's exit code.
    const auto step = [this](const char* stage, int ok, PassExitCode code) {
        if (!ok) {
            m_outcome.NoteFailure(stage);
            if (m_outcome.exitCode == EXIT_PASS_OK)
                m_outcome.exitCode = code;
        }
        return ok;
    };
    int ok = step("LoadConfig", LoadConfig(options.configPath), EXIT_NO_CONFIG);
    if (ok)
        ok = step("BeginPass", BeginPass(), EXIT_OTHER_PASS);
    // What an ended pass left goes first, also when no server is reached. A
    // folder it leaves holding two releases is neither updated nor started
    // from: its aside copies wait for a later pass to put them back.
    bool mixed = false;
    const auto finishEnded = [&](const ModuleList& listed) {
        const EndedSwaps ended = FinishEndedSwaps(*this, m_config, listed);
        if (!ended.mixed)
            return 1;
        mixed = true;
        m_outcome.NoteFailure("RecoverEndedSwaps", ended.error);
        if (m_outcome.exitCode == EXIT_PASS_OK)
            m_outcome.exitCode = EXIT_LAUNCH_FAILED;
        return 0;
    };
    if (ok)
        ok = finishEnded(ModuleList());
    if (ok)
        ok = step("ConnectServer", ConnectServer(), EXIT_NO_SERVER);
    Pause();
    if (ok) {
        ok = GetVersionInfo();
        // Over HTTP an unreachable server shows only now, once the stage ran.
        step("GetVersionInfo", ok, m_bServerAnswered ? EXIT_NO_LIST : EXIT_NO_SERVER);
    }
    Pause();
    if (ok)
        ok = step("ParseVersionInfo", ParseVersionInfo(), EXIT_NO_LIST);
    // Folders only the server's list names, before the comparison sweeps them.
    if (ok)
        ok = finishEnded(m_modules);
    Pause();
    if (ok)
        ok = step("CompareVersionInfo", CompareVersionInfo(), EXIT_NO_LIST);
    Pause();
    if (ok && CountModulesToUpdate() >= 1) {
        DownloadNewFiles();
        RegisterModule();
    }
    // The comparison can refuse a module too (its folder). Each failed module
    // has named its stage already.
    if (m_outcome.modulesFailed != 0 && m_outcome.exitCode == EXIT_PASS_OK)
        m_outcome.exitCode = EXIT_MODULE_FAILED;
    Pause();
    if (!mixed)
        step("LaunchModule", LaunchModule() && m_nFailedStarts == 0, EXIT_LAUNCH_FAILED);
    if (m_policy->InstalledSerial()) {
        m_outcome.installedSerial = m_policy->InstalledSerial();
        m_outcome.installedList = m_config.remoteVersionFile;
    }
    EndPass();
    Pause();
    m_outcome.durationMs = ::GetTickCount() - began;
    // After the lock is given up: the report may take its 5 s.
    SendPassReport(m_config, ReportedFacts(m_outcome, m_config, options), *this);
    return m_outcome;
}
