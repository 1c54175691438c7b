#pragma once
// The release in place, as the local list and its signature describe it.
// Once a release goes in its list becomes the local one; after a release
// that did not go in, before a desktop's turn in a rollout, or after a list
// refused or not had, the pass falls back on the installed release, once its
// list is checked again: its signature, the list path it was built for, and a
// serial not below that of the release last put in place (its expiry is
// waived: the release is the one installed).

#include "Crypto.h"
#include "NetDownLoader.h"
#include "Refusal.h"
#include "Release.h"
#include "SignedList.h"
#include "TraceBase.h"
#include "UpdateConfig.h"
#include "VersionList.h"

#include <memory>
#include <string>
#include <vector>

class CInstalledRelease {
public:
    using ModuleList = std::vector<std::unique_ptr<ModuleRecord>>;

    // The configuration is the manager's own and outlives the release.
    CInstalledRelease(CTraceBase& trace, CNetDownLoader& downloader, const UpdateConfig& config)
        : m_trace(trace), m_release(trace, downloader), m_config(config) {}

    // The list taken becomes the local one, with its signature, so that what
    // a later pass reads back is checked again, not taken on trust; its
    // serial becomes the installed one.
    Win32Result Keep(const SignedListBytes& taken);
    // The local list and its signature, checked with the keys given (see
    // above); refused with why not.
    Refusal Read(const std::vector<CSigningKey*>& keys, SignedListBytes& installed);

    // From now on the launch stage starts the installed release's programs;
    // none until Hold finds them.
    void Use();
    bool InUse() const { return m_bInUse; }
    // The programs of the installed release, held where they have the digest
    // and size its list gives them.
    void Hold(const std::vector<CSigningKey*>& keys);
    const ModuleList& Modules() const { return m_modules; }
    bool IsVerified(size_t index) const { return m_release.IsVerified(index); }
    // Nothing held any more, and not in use.
    void Drop();

private:
    CTraceBase& m_trace;
    ModuleList m_modules;
    CRelease m_release;
    const UpdateConfig& m_config;
    bool m_bInUse = false;
};
