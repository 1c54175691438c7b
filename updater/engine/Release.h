#pragma once
// The modules of one signed release as this pass checked them. A module the
// pass verified (found current, or received, checked and put in place) that
// it registers or starts stays held until the pass ends, so the bytes that
// were checked are the bytes that are used. Received modules go in all together or not at
// all: each is checked in its partial file first, and when one cannot be put
// in place the ones before it are put back.

#include "NetDownLoader.h"
#include "TraceBase.h"
#include "UniqueHandle.h"
#include "VersionList.h"

#include <memory>
#include <string>
#include <vector>

class CPartialFile;

// A selected module's size asked for. Over HTTP the question opens the
// module's own request, which continues what an earlier pass kept of it and
// whose body ReceiveModule then reads; module gets what that download needs.
// False after the trace.
bool AskModuleSize(CTraceBase& trace, CNetDownLoader& downloader, const ModuleRecord& record,
                   CNetDownLoader::RemoteModule& module);

// One selected module received into a partial file beside it (continuing
// what an earlier pass kept of it), closed and held, and checked against its
// line through the hold: the size on the way in, the digest (where listed)
// once the file is whole. A continued file that fails its digest is received
// once more from its start. Null, with its traces, when anything failed;
// size gets the module's bytes.
std::unique_ptr<CPartialFile> ReceiveModule(CTraceBase& trace, CNetDownLoader& downloader,
                                            const ModuleRecord& record,
                                            CNetDownLoader::RemoteModule& module,
                                            unsigned long long* size);

// The downloader's own line for a module whose download is complete: in place.
void TraceModuleInPlace(CNetDownLoader& downloader, const ModuleRecord& record);

class CRelease {
public:
    using ModuleList = std::vector<std::unique_ptr<ModuleRecord>>;

    CRelease(CTraceBase& trace, CNetDownLoader& downloader)
        : m_trace(trace), m_downloader(downloader) {}

    // Forgets every module and lets go of every hold.
    void Reset(size_t moduleCount);
    // Hashes the installed file through a hold; true when it has the listed
    // digest and size, and then the hold is kept for a module to register or
    // start. The local digest, when one could be had,
    // goes to localSha256 (and its size to localSize).
    bool CheckInstalled(size_t index, const ModuleRecord& record, std::string* localSha256,
                        unsigned long long* localSize);
    // Every selected module received and checked, then all put in place in
    // list order. False, with the modules as they were, when any failed;
    // bytes gets the modules' bytes.
    bool Install(const ModuleList& modules, unsigned long long* bytes);
    bool IsVerified(size_t index) const { return index < m_verified.size() && m_verified[index]; }

private:
    CTraceBase& m_trace;
    CNetDownLoader& m_downloader;
    // Of the verified modules, those the pass registers or starts stay held.
    std::vector<unique_hfile> m_holds;
    std::vector<bool> m_verified;
};
