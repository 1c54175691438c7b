#include "Release.h"

#include "BlockReceive.h"
#include "Crypto.h"
#include "HeldFile.h"
#include "KeptPartial.h"
#include "LocalFolder.h"
#include "ModuleOptions.h"
#include "PartialFile.h"

bool AskModuleSize(CTraceBase& trace, CNetDownLoader& downloader, const ModuleRecord& r,
                   CNetDownLoader::RemoteModule& module) {
    module.remotePath = r.remoteFile;
    module.localPath = r.localFile;
    module.listedSize = r.size;
    // Progress is read from the response itself: only the question counts here.
    DWORD size = 0;
    if (downloader.AskModuleSize(module, &size))
        return true;
    trace.Trace(TRACE_ERROR, "DownloadNewFiles : GetRemoteFileSize(%s) ERROR",
                r.remoteFile.c_str());
    return false;
}

std::unique_ptr<CPartialFile> ReceiveModule(CTraceBase& trace, CNetDownLoader& downloader,
                                            const ModuleRecord& r,
                                            CNetDownLoader::RemoteModule& module,
                                            unsigned long long* size) {
    for (;;) {
        auto file = std::make_unique<CPartialFile>();
        if (!downloader.ReceiveFile(module, *file, size))
            return nullptr;
        if (r.sha256.empty())
            return file;
        std::string received = "unknown";
        unsigned long long bytes = 0;
        if (HashOpenFile(file->Held(), received, &bytes).Ok() && received == r.sha256)
            return file;
        trace.Trace(TRACE_ERROR,
                    "DownloadNewFiles : ERROR, SHA-256 mismatch(%s) : received(%s) , listed(%s)",
                    r.remoteFile.c_str(), received.c_str(), r.sha256.c_str());
        // The kept bytes may be what is wrong; they go with the file.
        if (!file->TakenOver())
            return nullptr;
        trace.Trace(TRACE_WARNING,
                    "DownloadNewFiles : %s continued a kept partial file, received "
                    "again from its start",
                    r.remoteFile.c_str());
    }
}

void TraceModuleInPlace(CNetDownLoader& downloader, const ModuleRecord& r) {
    downloader.Trace(TRACE_INFO, "DownloadFile(%s->%s) : Download complete : %s -> %s",
                     r.remoteFile.c_str(), r.localFile.c_str(), r.remoteFile.c_str(),
                     r.localFile.c_str());
}

namespace {

// A module an earlier pass received and checked for a release that did not
// go in, kept whole beside its target: taken over and checked again through
// its hold, with no request. Null when there is none for the listed digest;
// a module's copy kept for another digest goes, a cut one stays to be
// continued.
std::unique_ptr<CPartialFile> KeptWholeModule(CTraceBase& trace, const ModuleRecord& r,
                                              unsigned long long* size) {
    const std::wstring full = ExtendedFullPath(r.localFile);
    if (r.sha256.empty() || r.size < 0 || full.rfind(L'\\') == std::wstring::npos)
        return nullptr;
    const std::wstring folder = FolderOf(full);
    const std::string key = KeptPartialKey(r.localFile, r.remoteFile);
    const std::string wanted = WholeModuleValidator(r.sha256);
    std::wstring name;
    std::string validator;
    if (!FindKeptPartial(folder, key, name, validator) || !IsWholeModuleValidator(validator))
        return nullptr;
    if (validator != wanted) {
        RemoveKeptPartials(folder, key);
        return nullptr;
    }
    auto file = std::make_unique<CPartialFile>();
    KeptPart kept;
    std::string digest;
    unsigned long long bytes = 0;
    if (!file->OpenKept(r.localFile, r.remoteFile, kept).Ok() || kept.validator != wanted ||
        !file->Close().Ok() || !HashOpenFile(file->Held(), digest, &bytes).Ok() ||
        digest != r.sha256 || bytes != static_cast<unsigned long long>(r.size))
        return nullptr;
    trace.Trace(TRACE_INFO, "DownloadNewFiles : %s taken whole from an earlier pass, no request",
                r.remoteFile.c_str());
    *size = bytes;
    return file;
}

} // namespace

void CRelease::Reset(size_t moduleCount) {
    m_holds.clear();
    m_holds.resize(moduleCount);
    m_verified.assign(moduleCount, false);
}

bool CRelease::CheckInstalled(size_t index, const ModuleRecord& r, std::string* localSha256,
                              unsigned long long* localSize) {
    unique_hfile held;
    if (!HoldFile(r.localFile, 0, held).Ok() ||
        !HashOpenFile(held.get(), *localSha256, localSize).Ok())
        return false;
    if (*localSha256 != r.sha256 || *localSize != static_cast<unsigned long long>(r.size))
        return false;
    if (IsUsedByThePass(r))
        m_holds[index] = std::move(held);
    m_verified[index] = true;
    return true;
}

bool CRelease::Install(const ModuleList& modules, unsigned long long* bytes) {
    *bytes = 0;
    struct Staged {
        size_t index;
        std::unique_ptr<CPartialFile> file;
    };
    std::vector<Staged> staged;
    // A release that does not go in keeps what it received whole: the next
    // pass need not receive it again.
    const auto keepReceived = [&] {
        for (const Staged& s : staged)
            if (s.file->KeepClosed(WholeModuleValidator(modules[s.index]->sha256)).Ok())
                m_trace.Trace(TRACE_INFO, "DownloadNewFiles : %s kept whole for the next pass",
                              modules[s.index]->remoteFile.c_str());
    };
    for (size_t i = 0; i < modules.size(); ++i) {
        const ModuleRecord& r = *modules[i];
        if (!r.download)
            continue;
        unsigned long long size = 0, fetched = 0;
        std::unique_ptr<CPartialFile> received = KeptWholeModule(m_trace, r, &size);
        bool byBlocks = false;
        if (!received) {
            received = ReceiveByBlocks(m_trace, m_downloader, r, &size, &fetched);
            byBlocks = received != nullptr;
        }
        CNetDownLoader::RemoteModule module;
        if (!received && AskModuleSize(m_trace, m_downloader, r, module) &&
            !(received = ReceiveModule(m_trace, m_downloader, r, module, &size)))
            m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : DownloadFile(%s->%s) ERROR",
                          r.remoteFile.c_str(), r.localFile.c_str());
        if (!received) {
            m_trace.Trace(TRACE_ERROR,
                          "DownloadNewFiles : ERROR, release not installed : %s failed",
                          r.remoteFile.c_str());
            keepReceived();
            return false;
        }
        m_trace.Trace(TRACE_INFO, "DownloadNewFiles : DownloadFile(%s->%s) OK . %llu Bytes",
                      r.remoteFile.c_str(), r.localFile.c_str(), size);
        staged.push_back({i, std::move(received)});
        *bytes += byBlocks ? fetched : size;
    }
    // Through a journal: a pass ended in the middle of the swap is rolled
    // back whole by the next one.
    std::vector<CPartialFile*> files;
    for (const auto& s : staged)
        files.push_back(s.file.get());
    size_t failedAt = 0;
    std::vector<std::pair<size_t, Win32Result>> notBack;
    const Win32Result swapped = SwapInAll(files, failedAt, notBack);
    if (!swapped.Ok()) {
        // The desktop keeps the whole release it had.
        m_trace.Trace(TRACE_ERROR,
                      "DownloadNewFiles : ERROR, release not installed : %s(%s) failed, EC=%d",
                      swapped.FailedCall(),
                      failedAt < staged.size() ? modules[staged[failedAt].index]->localFile.c_str()
                                               : "swap journal",
                      static_cast<int>(swapped.Error()));
        for (const auto& back : notBack)
            m_trace.Trace(TRACE_ERROR, "DownloadNewFiles : ERROR, %s(%s) failed, EC=%d",
                          back.second.FailedCall(),
                          modules[staged[back.first].index]->localFile.c_str(),
                          static_cast<int>(back.second.Error()));
        keepReceived();
        return false;
    }
    for (const auto& s : staged) {
        s.file->DropAside();
        TraceModuleInPlace(m_downloader, *modules[s.index]);
        if (IsUsedByThePass(*modules[s.index]))
            m_holds[s.index] = s.file->ReleaseHold();
        m_verified[s.index] = true;
    }
    return true;
}
