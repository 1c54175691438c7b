#pragma once
// What a pass does differently when the configuration names a signing key:
// the list and its signature are fetched into memory and checked with the
// key, the modules are read from those bytes, installed as one release
// (Release.h), and only modules it checked and holds are registered or
// started, by their full path. After a release that did not go in, or a list
// refused or not had, the launch stage starts the programs of the release the
// local list says is installed, once that list is checked again: its
// signature, the list path it was built for, and a serial not below that of
// the release last put in place (its expiry is waived: the release is the one
// installed). A list may
// hold a desktop back until its turn in a staged rollout (";rollout="), and
// may announce the key that signs the lists after it (";next-key=").

#include "Crypto.h"
#include "NetDownLoader.h"
#include "Release.h"
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
        : m_trace(trace), m_downloader(downloader), m_config(config) {}

    // The configured key, once; 0 after a trace under the stage's name when
    // it cannot be used.
    int ImportKey(const char* stage);
    // The version stage: imports the key (if not yet), fetches the list and its signature
    // and checks them. 0 after the trace when anything failed.
    int GetVersionInfo();
    // The bytes whose signature was checked; the modules are read from these,
    // never from the file again.
    const std::string& VerifiedList() const { return m_strVerifiedList; }
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
    // The verified list becomes the local one once its release is in place,
    // and its serial the installed one.
    bool KeepVerifiedList();
    Win32Result KeepKeys();
    // The list's value in the serial store (also of its installed serial and
    // its keys), the same whichever server of the set gave the list.
    std::string SerialName() const;
    // The local list and its signature, checked as the fallback takes them
    // (see above); empty when they pass, else why not.
    std::string ReadInstalledList(std::string& list, std::string& signature,
                                  unsigned long long& serial);
    // The keys trusted for the list path: the INI's, or once lists
    // announced others, the current one and the one announced.
    void LoadKeys();
    // After an accepted list: its serial kept, and the keys it leaves in
    // trust (an announced key trusted too; a list signed by it retires the
    // one before). Empty when kept, else why not.
    std::string KeepTrust(const std::string& list, size_t signer, bool newer,
                          unsigned long long serial);
    // This machine's place in staged rollouts, drawn once and kept.
    unsigned RolloutBucket();
    // Before this desktop's turn in a rollout the pass keeps the installed
    // release, as if the server still held it; false when there is none.
    bool HoldBack(unsigned long long serial, long long turn);
    // The release the local list says is installed, its programs held where
    // they have the digest and size the list gives them.
    void HoldInstalledRelease();

    CTraceBase& m_trace;
    CNetDownLoader& m_downloader;
    const UpdateConfig& m_config;
    // The configured key, once the version stage has imported it.
    CSigningKey m_signingKey;
    // The keys a list may be signed with (the first the current one), and
    // their base64.
    std::vector<CSigningKey*> m_keys;
    CSigningKey m_currentKey, m_nextKey;
    std::string m_strCurrent, m_strNext;
    // The keys the accepted list leaves trusted, kept with its release: a
    // release that does not go in retires no key its installed list needs.
    std::string m_strKeptKeys;
    const char* m_pszKeysChange = nullptr;
    // Before its turn in a rollout: the installed release is the pass's.
    bool m_bHeldBack = false;
    // This pass took a list (its own, or the installed one held back).
    bool m_bListTaken = false;
    bool m_bKeyImported = false;
    std::string m_strVerifiedList;
    std::string m_strVerifiedSignature;
    unsigned long long m_nVerifiedSerial = 0;
    std::optional<unsigned long long> m_installedSerial;
    // The pass's modules as it checked them, held until it ends.
    CRelease m_release{m_trace, m_downloader};
    bool m_bReleaseFailed = false;
    // After a failed release: the installed release, as the launch stage
    // checked it.
    ModuleList m_installed;
    CRelease m_installedRelease{m_trace, m_downloader};
    bool m_bStartingInstalled = false;
};
