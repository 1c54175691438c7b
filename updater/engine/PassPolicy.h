#pragma once
// What a pass does differently with a signing key and without one, chosen
// once when the configuration is read (MakePassPolicy): where the list comes
// from and which of its lines count, how an installed module is compared,
// how the selected modules go in, and by which paths they are registered and
// started. The stages in CAULMgr are the same for both.

#include "NetDownLoader.h"
#include "PassOutcome.h"
#include "TraceBase.h"
#include "UpdateConfig.h"
#include "VersionList.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class IPassPolicy {
public:
    using ModuleList = std::vector<std::unique_ptr<ModuleRecord>>;

    virtual ~IPassPolicy() = default;

    // Once the configuration is read; 0 after a trace under the stage's name
    // when it cannot be used.
    virtual int Prepare() = 0;
    // The version stage on the server connected to; 0 after its trace.
    virtual int FetchList() = 0;
    // The list's lines in order; 0 after a trace when there is no list.
    virtual int ReadList(std::vector<std::string>& lines) = 0;
    // Whether a parsed line takes part in the pass (after a trace if not).
    virtual bool Admits(const ModuleRecord& record) = 0;
    // Two lines for one local file refuse the whole list.
    virtual bool RefusesRepeatedPaths() const = 0;

    virtual void BeginCompare(size_t moduleCount) = 0;
    // The installed file's digest and size, for a line that lists a digest;
    // false when none could be had.
    virtual bool InstalledDigest(size_t index, const ModuleRecord& record, std::string& sha256,
                                 unsigned long long& size) = 0;
    // After the comparison, complete when no module was refused; false when
    // the pass's modules cannot go in.
    virtual bool EndCompare(const ModuleList& modules, bool complete) = 0;
    // The selected modules received and put in place, counted in the outcome.
    virtual void Install(const ModuleList& modules, PassOutcome& outcome) = 0;

    // The path a module is registered or started by; false after a trace
    // under the stage's name when it may not be.
    virtual bool CheckedPath(size_t index, const ModuleRecord& record, const char* stage,
                             std::string& path) const = 0;
    // The modules the launch stage starts from.
    virtual const ModuleList& ModulesToStart(const ModuleList& listed) = 0;
    // The serial of the signed release found or put in place by this pass.
    virtual std::optional<unsigned long long> InstalledSerial() const = 0;
    virtual void EndPass() = 0;
};

// The policy of the configuration: signed when it names a signing key. The
// configuration and the downloader outlive it.
std::unique_ptr<IPassPolicy> MakePassPolicy(CTraceBase& trace, CNetDownLoader& downloader,
                                            const UpdateConfig& config);
