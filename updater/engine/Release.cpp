#include "Release.h"

#include "Crypto.h"
#include "HeldFile.h"
#include "LocalFolder.h"
#include "ModuleOptions.h"
#include "NetText.h"
#include "PartialFile.h"

struct CRelease::Staged {
    size_t index;
    CPartialFile file;
};

void CRelease::Reset(size_t moduleCount) {
    m_holds.clear();
    m_holds.resize(moduleCount);
    m_verified.assign(moduleCount, false);
}

bool CRelease::CheckInstalled(size_t index, const ModuleRecord& r, std::string* localSha256,
                              unsigned long long* localSize) {
    unique_hfile held;
    if (!HoldFile(r.localFile, 0, held).Ok() || !HashOpenFile(held.get(), *localSha256, localSize))
        return false;
    if (*localSha256 != r.sha256 || *localSize != static_cast<unsigned long long>(r.size))
        return false;
    if (IsUsedByThePass(r))
        m_holds[index] = std::move(held);
    m_verified[index] = true;
    return true;
}

std::unique_ptr<CRelease::Staged> CRelease::Receive(size_t index, const ModuleRecord& r) {
    const char* remote = r.remoteFile.c_str();
    const char* local = r.localFile.c_str();
    DWORD size = 0;
    if (!m_downloader.GetRemoteFileSize(r.remoteFile, &size)) {
        m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : GetRemoteFileSize(%s) ERROR", remote);
        return nullptr;
    }
    auto staged = std::make_unique<Staged>();
    staged->index = index;
    const std::string folder = LocalFolderOf(r.localFile);
    Win32Result result = folder.empty() ? Win32Result() : MakeFolderChain(folder);
    if (result.Ok())
        result = staged->file.Open(r.localFile);
    if (!result.Ok()) {
        m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : ERROR, %s(%s) failed, EC=%d",
                      result.FailedCall(), local, static_cast<int>(result.Error()));
        return nullptr;
    }
    // The transfer stops as soon as it passes the listed size; the bytes are
    // checked once the file is closed and held, through the hold.
    CFileSink file(staged->file);
    CSizeSink sized(static_cast<unsigned long long>(r.size), &file);
    if (!m_downloader.ReadRemoteFile(r.remoteFile, sized, size, r.localFile)) {
        m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : DownloadFile(%s->%s) ERROR", remote, local);
        return nullptr;
    }
    std::string received = "unknown";
    unsigned long long bytes = 0;
    if (!HashOpenFile(staged->file.Held(), received, &bytes) || received != r.sha256) {
        m_trace.Trace(TRACE_ERROR,
                      "DownloadNewFiles : ERROR, SHA-256 mismatch(%s) : received(%s) , listed(%s)",
                      remote, received.c_str(), r.sha256.c_str());
        return nullptr;
    }
    m_trace.Trace(TRACE_INFO, "DownloadNewFiles : DownloadFile(%s->%s) OK . %d Bytes", remote,
                  local, static_cast<int>(bytes));
    return staged;
}

bool CRelease::Install(const ModuleList& modules) {
    std::vector<std::unique_ptr<Staged>> staged;
    for (size_t i = 0; i < modules.size(); ++i) {
        if (!modules[i]->download)
            continue;
        std::unique_ptr<Staged> received = Receive(i, *modules[i]);
        if (!received) {
            m_trace.Trace(TRACE_ERROR,
                          "DownloadNewFiles : ERROR, release not installed : %s failed",
                          modules[i]->remoteFile.c_str());
            return false;
        }
        staged.push_back(std::move(received));
    }
    for (size_t k = 0; k < staged.size(); ++k) {
        const ModuleRecord& r = *modules[staged[k]->index];
        const Win32Result swapped = staged[k]->file.SwapIn();
        if (swapped.Ok())
            continue;
        m_trace.Trace(TRACE_ERROR,
                      "DownloadNewFiles : ERROR, release not installed : %s(%s) failed, EC=%d",
                      swapped.FailedCall(), r.localFile.c_str(), static_cast<int>(swapped.Error()));
        // The desktop keeps the whole release it had.
        for (size_t j = k; j-- > 0;) {
            const Win32Result back = staged[j]->file.PutBack();
            if (!back.Ok())
                m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : ERROR, %s(%s) failed, EC=%d",
                              back.FailedCall(), modules[staged[j]->index]->localFile.c_str(),
                              static_cast<int>(back.Error()));
        }
        return false;
    }
    for (const auto& s : staged) {
        s->file.DropAside();
        if (IsUsedByThePass(*modules[s->index]))
            m_holds[s->index] = s->file.ReleaseHold();
        m_verified[s->index] = true;
    }
    return true;
}
