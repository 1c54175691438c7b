#include "SignedPass.h"

#include "FullPathName.h"

#include <windows.h>

#include <ctime>

Refusal CSignedPass::ImportKey(const char* stage) {
    const Refusal imported = m_keyRing.ImportConfigured();
    if (!imported.Ok())
        m_trace.Trace(TRACE_ERROR, "%s : ERROR, Signing Key unusable : %s", stage,
                      imported.Reason().c_str());
    return imported;
}

Refusal CSignedPass::GetVersionInfo() {
    const std::string& listPath = m_config.remoteVersionFile;
    const Refusal imported = ImportKey("GetVersionInfo");
    if (!imported.Ok())
        return imported;
    // Both kept in memory: nothing takes the local list's place before every
    // check has passed, and the checks read no file that could change.
    SignedListBytes fetched;
    const Refusal got =
        FetchSignedList(m_trace, m_downloader, listPath, fetched.list, fetched.signature);
    if (!got.Ok())
        return got;
    m_installedSerial.reset();
    m_keyRing.Forget();
    const std::string serialName = ListValueName(m_config);
    m_keyRing.Load(serialName);
    SignedListSource source;
    source.listPath = listPath;
    source.serialName = serialName;
    source.now = static_cast<long long>(std::time(nullptr));
    size_t signer = 0;
    bool newer = false;
    long long turn = 0;
    Refusal refused = CheckSignedList(fetched.list, fetched.signature, m_keyRing.Keys(), source,
                                      fetched.serial, signer, newer);
    if (refused.Ok())
        refused = m_rollout.TurnOf(fetched.list, listPath, turn);
    if (refused.Ok() && turn > source.now &&
        m_rollout.HoldBack(m_keyRing.Keys(), fetched.serial, turn, m_taken)) {
        m_state = State::HeldBack;
        return Refusal();
    }
    if (refused.Ok()) {
        m_keyRing.Accept(m_trace, fetched.list, signer);
        refused = KeepAcceptedList(serialName, fetched.serial, newer);
        if (!refused.Ok())
            m_keyRing.Forget();
    }
    if (!refused.Ok()) {
        m_trace.Trace(TRACE_ERROR, "GetVersionInfo : ERROR, %s", refused.Reason().c_str());
        return refused;
    }
    // The local list describes the installed release: it is replaced once
    // this list's release is in place.
    m_taken = fetched;
    m_trace.Trace(TRACE_INFO, "GetVersionInfo : signature(%s.sig) OK, serial %s", listPath.c_str(),
                  std::to_string(fetched.serial).c_str());
    m_state = State::ListTaken;
    return Refusal();
}

bool CSignedPass::Admits(const ModuleRecord& r) {
    if (!r.sha256.empty() && r.size >= 0)
        return true;
    m_trace.Trace(
        TRACE_ERROR,
        "ParseVersionInfo : ERROR, no SHA-256 or size in a signed list, skipped : %s | %s",
        r.localFile.c_str(), r.remoteFile.c_str());
    return false;
}

void CSignedPass::BeginCompare(size_t moduleCount) {
    m_release.Reset(moduleCount);
    if (m_state == State::ReleaseFailed)
        m_state = State::ListTaken;
    m_installed.Drop();
}

void CSignedPass::CheckInstalled(size_t index, const ModuleRecord& r, std::string* localSha256,
                                 unsigned long long* localSize) {
    m_release.CheckInstalled(index, r, localSha256, localSize);
}

bool CSignedPass::EndCompare(const ModuleList& modules, bool complete) {
    if (m_state == State::HeldBack) {
        // The installed release as it is: nothing fetched, nothing rewritten.
        for (const auto& r : modules)
            r->download = 0;
        return true;
    }
    if (!complete) {
        // A module that cannot go in keeps the whole release out.
        for (const auto& r : modules)
            r->download = 0;
        m_state = State::ReleaseFailed;
        return false;
    }
    for (const auto& r : modules)
        if (r->download)
            return true;
    return KeepVerifiedList();
}

bool CSignedPass::Install(const ModuleList& modules, unsigned long long* bytes) {
    // One release, all or nothing; the local list follows it.
    const bool installed = m_release.Install(modules, bytes);
    m_state = installed ? State::ListTaken : State::ReleaseFailed;
    return installed && KeepVerifiedList();
}

bool CSignedPass::KeepVerifiedList() {
    Win32Result written = m_installed.Keep(m_taken);
    if (written.Ok())
        written = m_keyRing.Keep(m_trace, ListValueName(m_config), m_config.remoteVersionFile);
    const std::string& path = m_config.localVersionFile;
    if (written.Ok()) {
        m_installedSerial = m_taken.serial;
        m_trace.Trace(TRACE_INFO, "KeepVerifiedList : local version list(%s) OK", path.c_str());
        return true;
    }
    m_trace.Trace(TRACE_ERROR, "KeepVerifiedList : ERROR, %s(%s) failed, EC=%d",
                  written.FailedCall(), path.c_str(), static_cast<int>(written.Error()));
    return false;
}

bool CSignedPass::CheckedPath(size_t index, const ModuleRecord& r, const char* stage,
                              std::string& path) const {
    const bool verified =
        m_installed.InUse() ? m_installed.IsVerified(index) : m_release.IsVerified(index);
    if (!verified) {
        m_trace.Trace(TRACE_ERROR, "%s : ERROR, %s not installed and checked : skipped", stage,
                      r.localFile.c_str());
        return false;
    }
    // The file a held module's name opens now: the loader's search or another
    // current folder must not find a different one.
    path = FullPathOrAsGiven(r.localFile);
    return true;
}

const CSignedPass::ModuleList& CSignedPass::ModulesToStart(const ModuleList& listed) {
    m_installed.Drop();
    // Held back, the installed release is checked as after one that did not go
    // in: a program the list forces was not hashed in the comparison.
    // So is it after a list refused or not had: a desktop with a release in
    // place starts that one's programs, not the default program.
    const bool noList = m_state == State::NoList;
    if (m_state == State::ListTaken ||
        (noList &&
         ::GetFileAttributesA(m_config.localVersionFile.c_str()) == INVALID_FILE_ATTRIBUTES))
        return listed;
    m_installed.Use();
    // Without a list of its own the pass may not have read the keys yet.
    if (noList) {
        if (!ImportKey("LaunchModule").Ok())
            return m_installed.Modules();
        m_keyRing.Load(ListValueName(m_config));
    }
    m_installed.Hold(m_keyRing.Keys());
    return m_installed.Modules();
}

void CSignedPass::EndPass() {
    m_release.Reset(0);
    m_installed.Drop();
    m_state = State::NoList;
}
