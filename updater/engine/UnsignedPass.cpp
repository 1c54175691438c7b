#include "UnsignedPass.h"

#include "BlockReceive.h"
#include "Crypto.h"
#include "PartialFile.h"
#include "Release.h"

#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

// A line outside a signed release, received and checked: put in place alone,
// or the failure traced.
Win32Result PutInPlace(CTraceBase& trace, CNetDownLoader& downloader, const ModuleRecord& r,
                       CPartialFile& received) {
    const Win32Result placed = received.Commit();
    if (!placed.Ok())
        trace.Trace(TRACE_ERROR, "DownloadNewFiles : ERROR, %s(%s) failed, EC=%d",
                    placed.FailedCall(), r.localFile.c_str(), static_cast<int>(placed.Error()));
    else
        TraceModuleInPlace(downloader, r);
    return placed;
}

} // namespace

int CUnsignedPass::FetchList() {
    const UpdateConfig& c = m_config;
    // No expected size: the version list moves no progress display.
    const int ok = m_downloader.DownloadFile(c.remoteVersionFile, c.localVersionFile, 0);
    if (ok)
        m_trace.Trace(TRACE_INFO, "GetVersionInfo : DownloadFile(%s->%s) OK",
                      c.remoteVersionFile.c_str(), c.localVersionFile.c_str());
    else
        m_trace.Trace(TRACE_ERROR, "GetVersionInfo : DownloadFile(%s->%s) ERROR",
                      c.remoteVersionFile.c_str(), c.localVersionFile.c_str());
    return ok;
}

int CUnsignedPass::ReadList(std::vector<std::string>& lines) {
    const std::string& path = m_config.localVersionFile;
    if (_access(path.c_str(), 0) != 0) {
        m_trace.Trace(TRACE_ERROR, "ParseVersionInfo : ERROR, version file(%s) does not exist",
                      path.c_str());
        return 0;
    }
    _doserrno = 0;
    FILE* file = std::fopen(path.c_str(), "rt");
    if (!file) {
        // The C runtime keeps the system's error beside errno.
        m_trace.Trace(TRACE_ERROR, "ParseVersionInfo : ERROR, open version file(%s), EC =%d",
                      path.c_str(), static_cast<int>(_doserrno));
        return 0;
    }
    std::string line;
    while (versionlist::ReadLine(file, line))
        lines.push_back(line);
    std::fclose(file);
    return 1;
}

bool CUnsignedPass::InstalledDigest(size_t, const ModuleRecord& r, std::string& sha256,
                                    unsigned long long& size) {
    return HashFile(r.localFile, sha256, &size).Ok();
}

void CUnsignedPass::Install(const ModuleList& modules, PassOutcome& outcome) {
    for (const auto& record : modules) {
        const ModuleRecord& r = *record;
        if (!r.download)
            continue;
        // The module's bytes: the size announced, or those of a body that
        // announced none.
        unsigned long long size = 0, fetched = 0;
        std::unique_ptr<CPartialFile> received =
            ReceiveByBlocks(m_trace, m_downloader, r, &size, &fetched);
        const bool byBlocks = received != nullptr;
        if (!received) {
            CNetDownLoader::RemoteModule module;
            if (!AskModuleSize(m_trace, m_downloader, r, module)) {
                outcome.NoteModuleFailed("DownloadNewFiles");
                continue;
            }
            received = ReceiveModule(m_trace, m_downloader, r, module, &size);
        }
        if (received && PutInPlace(m_trace, m_downloader, r, *received).Ok()) {
            m_trace.Trace(TRACE_INFO, "DownloadNewFiles : DownloadFile(%s->%s) OK . %llu Bytes",
                          r.remoteFile.c_str(), r.localFile.c_str(), size);
            ++outcome.modulesFetched;
            outcome.bytesReceived += byBlocks ? fetched : size;
        } else {
            m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : DownloadFile(%s->%s) ERROR",
                          r.remoteFile.c_str(), r.localFile.c_str());
            outcome.NoteModuleFailed("DownloadNewFiles");
        }
    }
}
