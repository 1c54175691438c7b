#pragma once
// What a pass does differently when the configuration names a signing key,
// each job in its own unit: the list and its signature are fetched into
// memory and checked (SignedList.h) with the keys trusted for the list
// (KeyRing.h); a staged rollout may hold the desktop back (RolloutGate.h);
// the modules are read from the checked bytes, installed as one release
// (Release.h), and only modules the pass checked and holds are registered or
// started, by their full path. After a release that did not go in, or a list
// refused or not had, the launch stage starts the programs of the release in
// place (InstalledRelease.h).

#include "InstalledRelease.h"
#include "KeyRing.h"
#include "NetDownLoader.h"
#include "Refusal.h"
#include "Release.h"
#include "RolloutGate.h"
#include "SignedList.h"
#include "TraceBase.h"
#include "UpdateConfig.h"
#include "VersionList.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CSignedPass {
public:
    using ModuleList = std::vector<std::unique_ptr<ModuleRecord>>;

    // The configuration is the manager's own and outlives the pass.
    CSignedPass(CTraceBase& trace, CNetDownLoader& downloader, const UpdateConfig& config)
        : m_trace(trace), m_downloader(downloader), m_config(config), m_keyRing(*config.signingKey),
          m_release(trace, downloader), m_installed(trace, downloader, config) {}

    // The configured key, once; refused, after a trace under the stage's
    // name, when it cannot be used.
    Refusal ImportKey(const char* stage);
    // The version stage: imports the key (if not yet), fetches the list and
    // its signature and checks them. Refused, after the trace, when the pass
    // has no list to take.
    Refusal GetVersionInfo();
    // The bytes whose signature was checked; the modules are read from these,
    // never from the file again.
    const std::string& VerifiedList() const { return m_taken.list; }
    // Only bytes the publisher's signature covers are installed, and a
    // transfer must know where they end: a line without a digest or a size
    // is skipped, with a trace.
    bool Admits(const ModuleRecord& record);

    // The comparison: the installed file hashed through a hold that is kept
    // for a module the pass registers or starts.
    void BeginCompare(size_t moduleCount);
    void CheckInstalled(size_t index, const ModuleRecord& record, std::string* localSha256,
                        unsigned long long* localSize);
    // With nothing to fetch the release is in place already: the list becomes
    // the local one. Incomplete (a module refused): nothing is fetched and
    // the release counts as not installed. False when it did not go in.
    bool EndCompare(const ModuleList& modules, bool complete);
    // The download stage: the release, all or nothing, and the local list
    // after it. False when either did not go in; bytes gets the release's.
    bool Install(const ModuleList& modules, unsigned long long* bytes);
    // The serial of the list whose release this pass found or put in place.
    std::optional<unsigned long long> InstalledSerial() const { return m_installedSerial; }

    // The path a module of the list in use is registered or started by: its
    // full path when the pass checked and holds it; false, with a trace
    // under the stage's name, when it did not.
    bool CheckedPath(size_t index, const ModuleRecord& record, const char* stage,
                     std::string& path) const;
    // The modules the launch stage starts from: those of this pass's list, or
    // after a release that did not go in, those of the installed release.
    const ModuleList& ModulesToStart(const ModuleList& listed);
    // Nothing checked in this pass is used any more.
    void EndPass();

private:
    // What the pass has taken, as its stages move on.
    enum class State {
        NoList,        // none yet, or the list was refused or not had
        ListTaken,     // its own list, checked
        HeldBack,      // before its turn in a rollout: the installed release
        ReleaseFailed, // its own list, whose release did not go in
    };

    // The list taken becomes the local one once its release is in place,
    // and its serial the installed one.
    bool KeepVerifiedList();

    CTraceBase& m_trace;
    CNetDownLoader& m_downloader;
    const UpdateConfig& m_config;
    CKeyRing m_keyRing;
    State m_state = State::NoList;
    SignedListBytes m_taken;
    std::optional<unsigned long long> m_installedSerial;
    // The pass's modules as it checked them, held until it ends.
    CRelease m_release;
    CInstalledRelease m_installed;
    CRolloutGate m_rollout{m_trace, m_installed};
};
