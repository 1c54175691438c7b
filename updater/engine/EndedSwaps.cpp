#include "EndedSwaps.h"

#include "LocalFolder.h"
#include "LocalModules.h"
#include "PartialFile.h"
#include "SwapJournal.h"
#include "VersionList.h"

#include <set>

namespace {

// Far above any real list, as the signed pass reads it.
const DWORD kMaxListBytes = 4 << 20;

// A folder as journals name it, in one case.
std::wstring Folded(std::wstring folder) {
    if (!folder.empty())
        ::CharUpperBuffW(&folder[0], static_cast<DWORD>(folder.size()));
    return folder;
}

// The modules of the local list, the default program and the list: all the
// pass knows of its folders before it has a server's list. The list is not checked
// here: it only narrows where a journal may act, and an elevated pass still
// refuses every folder that is not the administrators'.
ModuleList KnownModules(const UpdateConfig& config) {
    ModuleList modules;
    std::string bytes;
    if (!config.localVersionFile.empty() &&
        ReadWholeFile(config.localVersionFile, bytes, kMaxListBytes).Ok()) {
        CTraceBase quiet;
        size_t position = 0;
        std::string line;
        while (versionlist::ReadTextLine(bytes, position, line)) {
            auto record = std::make_unique<ModuleRecord>();
            if (versionlist::ParseLine(quiet, line, *record))
                modules.push_back(std::move(record));
        }
    }
    // The list itself is replaced through a swap too.
    for (const std::string* path : {&config.defaultExecFile, &config.localVersionFile}) {
        if (path->empty())
            continue;
        auto record = std::make_unique<ModuleRecord>();
        record->localFile = *path;
        modules.push_back(std::move(record));
    }
    return modules;
}

} // namespace

EndedSwaps FinishEndedSwaps(CTraceBase& trace, const UpdateConfig& config,
                            const ModuleList& listed) {
    ModuleList modules = KnownModules(config);
    for (const auto& r : listed)
        modules.push_back(std::make_unique<ModuleRecord>(*r));
    // Held while the files in them are moved, as in the comparison.
    std::vector<unique_hfile> held;
    const std::set<std::string> refused = FoldersNotAdministrators(modules, held);
    std::set<std::string> folders;
    std::set<std::wstring> accepted;
    for (const auto& r : modules) {
        const std::string folder = ModuleFolder(r->localFile);
        if (folder.empty() || refused.count(folder) || !folders.insert(folder).second)
            continue;
        const std::wstring full = ExtendedFullPath(folder);
        if (!full.empty())
            accepted.insert(Folded(full));
    }
    const SwapRecovery recovery = RecoverEndedSwaps(
        [&](const std::wstring& folder) { return accepted.count(Folded(folder)) != 0; });

    EndedSwaps ended;
    for (const std::string& target : recovery.putBack)
        trace.Trace(TRACE_WARNING, "RecoverEndedSwaps : %s : put back from an ended pass",
                    target.c_str());
    for (const std::string& target : recovery.removed)
        trace.Trace(TRACE_WARNING,
                    "RecoverEndedSwaps : %s : taken out, new in an ended pass's swap",
                    target.c_str());
    for (const std::string& journal : recovery.refused)
        trace.Trace(TRACE_WARNING,
                    "RecoverEndedSwaps : journal(%s) names files outside the folders the pass "
                    "knows : nothing moved",
                    journal.c_str());
    std::set<std::string> mixed;
    for (const auto& failed : recovery.failed) {
        trace.Trace(TRACE_ERROR,
                    "RecoverEndedSwaps : ERROR, %s : not put back from an ended pass, %s "
                    "EC=%d : nothing is started until a later pass puts it back",
                    failed.first.c_str(), failed.second.FailedCall(),
                    static_cast<int>(failed.second.Error()));
        mixed.insert(ModuleFolder(failed.first));
        if (!ended.mixed) {
            ended.mixed = true;
            ended.target = failed.first;
            ended.error = failed.second;
        }
    }
    // Without a journal: an installed file set aside whose target is
    // missing. A folder whose journal stays keeps its aside copies for it.
    for (const std::string& folder : folders) {
        if (mixed.count(folder))
            continue;
        for (const std::string& target : SweepLeftovers(folder))
            trace.Trace(TRACE_WARNING, "RecoverEndedSwaps : %s : put back from an ended pass",
                        target.c_str());
    }
    return ended;
}
