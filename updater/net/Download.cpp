// A remote file's body into a sink, and the download into a local file.
#include "FormatText.h"
#include "LocalFolder.h"
#include "NetDownLoader.h"
#include "ReadSize.h"

#include <memory>
#include <new>

CNetDownLoader::Transfer CNetDownLoader::ReceiveInto(const std::string& context,
                                                     IDownloadSink& sink, const Progress& progress,
                                                     unsigned long long leastSize,
                                                     unsigned long long* received) {
    // Read from, the handle is of no use under its path any more: a second
    // download of the path must fetch the file again.
    const unique_hinternet remote = std::move(m_hRemoteFile);
    m_strOpenedRemoteFile.clear();

    // One buffer for the whole transfer, of the largest read.
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[CReadSize::kLargest]);
    if (!buffer) {
        ReportFailure(Win32Result::Failed("InternetReadFile", ERROR_NOT_ENOUGH_MEMORY));
        return Transfer::Refused;
    }
    CReadSize readSize;
    int block = 0;
    unsigned long long sum = 0;
    for (;;) {
        DWORD count = 0;
        const DWORD started = ::GetTickCount();
        if (!::InternetReadFile(remote.get(), buffer.get(), readSize.Current(), &count)) {
            _ReportError("InternetReadFile", "");
            if (received)
                *received = sum;
            return Transfer::Broken;
        }
        readSize.Took(::GetTickCount() - started);
        if (count == 0)
            break;
        ++block;
        sum += count;
        Trace(TRACE_DETAIL, "%s : InternetReadFile[%3d] : %3d bytes", context.c_str(), block,
              static_cast<int>(count));
        if (progress.shown && m_pOwner)
            m_pOwner->ShowProgress(block == 1 ? progress.name : std::string(), progress.total,
                                   static_cast<DWORD>(progress.done + sum));
        const Win32Result added = sink.Add(buffer.get(), count);
        if (!added.Ok()) {
            ReportFailure(added);
            return Transfer::Refused;
        }
    }
    if (received)
        *received = sum;
    if (sum < leastSize) {
        // A dropped connection can look like the end of the data.
        Trace(TRACE_ERROR, "%s : ERROR, remote data ended early : %llu of %llu bytes",
              context.c_str(), sum, leastSize);
        return Transfer::Broken;
    }
    const Win32Result finished = sink.Finish();
    if (!finished.Ok()) {
        ReportFailure(finished);
        return Transfer::Refused;
    }
    return Transfer::Whole;
}

int CNetDownLoader::ReadRemoteFile(const std::string& remotePath, IDownloadSink& sink,
                                   DWORD expectedSize, const std::string& progressName) {
    const std::string context = FormatText("ReadRemoteFile(%s)", remotePath.c_str());
    if (!_IsRemoteFileOpened(remotePath)) {
        Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return 0;
    }
    Progress progress;
    progress.shown = expectedSize != 0;
    progress.total = expectedSize;
    progress.name = progressName;
    const DWORD least = m_pProtocol->LeastBodySize(m_hRemoteFile.get(), expectedSize);
    return ReceiveInto(context, sink, progress, least) == Transfer::Whole ? 1 : 0;
}

int CNetDownLoader::ReadRemoteRange(const std::string& remotePath, unsigned long long offset,
                                    unsigned long long length, IDownloadSink& sink,
                                    const std::string& progressName, DWORD total, DWORD done) {
    const std::string context = FormatText("ReadRemoteRange(%s)", remotePath.c_str());
    if (!CheckConnected(context) || !length)
        return 0;
    if (!OpenIntoCache(remotePath,
                       [&] { return m_pProtocol->OpenRange(remotePath, offset, length); })) {
        Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return 0;
    }
    Progress progress;
    progress.shown = true;
    progress.total = total;
    progress.done = done;
    progress.name = progressName;
    CSizeSink exact(length, &sink, true);
    return ReceiveInto(context, exact, progress, length) == Transfer::Whole ? 1 : 0;
}

int CNetDownLoader::MakeLocalFolder(const std::string& context, const std::string& localPath) {
    const std::string folder = LocalFolderOf(localPath);
    if (!folder.empty() && !_CreateLocalFolder(folder.c_str())) {
        Trace(TRACE_ERROR, "%s : ERROR, could not create local folder(%s)", context.c_str(),
              folder.c_str());
        return 0;
    }
    return 1;
}

int CNetDownLoader::LocalFileNotOpened(const std::string& context, const std::string& localPath,
                                       const Win32Result& failure) {
    ReportFailure(failure);
    Trace(TRACE_ERROR, "%s : ERROR, could not create(open) local file(%s)", context.c_str(),
          localPath.c_str());
    return 0;
}

int CNetDownLoader::ReceiveFile(RemoteModule& module, CPartialFile& local,
                                unsigned long long* size) {
    const std::string context =
        FormatText("DownloadFile(%s->%s)", module.remotePath.c_str(), module.localPath.c_str());
    if (!CheckConnected(context))
        return 0;
    // The response the size query opened for this module, else one now; the
    // query is used up either way.
    KeptPart asked = module.asked;
    RemoteBody body = module.body;
    const bool queried = module.opened && IsOpenFor(module.remotePath);
    const std::string sizeAnswer = std::move(module.sizeAnswer);
    module.sizeAnswer.clear();
    module.opened = false;
    if (!queried) {
        asked = KeptToContinue(module);
        if (!OpenModuleFile(module, asked, sizeAnswer, body)) {
            Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
            return 0;
        }
    }
    if (!MakeLocalFolder(context, module.localPath))
        return 0;
    KeptPart kept;
    const Win32Result opened = local.OpenKept(module.localPath, module.remotePath, kept);
    if (!opened.Ok())
        return LocalFileNotOpened(context, module.localPath, opened);
    Trace(TRACE_INFO, "%s : Local File open OK : %s", context.c_str(), module.localPath.c_str());
    if (body.offset) {
        if (kept.size != asked.size || kept.validator != asked.validator) {
            // Another kept file than the one the server was asked to continue.
            Trace(TRACE_ERROR, "%s : ERROR, kept partial file changed since it was asked for",
                  context.c_str());
            if (kept.size)
                local.Keep(kept.validator);
            return 0;
        }
        Trace(TRACE_INFO, "%s : continued from byte %llu of a kept partial file", context.c_str(),
              body.offset);
    } else if (local.TakenOver()) {
        const Win32Result emptied = local.StartOver();
        if (!emptied.Ok())
            return LocalFileNotOpened(context, module.localPath, emptied);
    }

    const long long listedSize = module.listedSize;
    Progress progress;
    progress.shown = true;
    const unsigned long long whole =
        body.length >= 0  ? body.offset + static_cast<unsigned long long>(body.length)
        : listedSize >= 0 ? static_cast<unsigned long long>(listedSize)
                          : 0;
    progress.total = whole <= kMostUnsizedBytes ? static_cast<DWORD>(whole) : 0;
    progress.done = static_cast<DWORD>(body.offset);
    progress.name = module.localPath;
    unsigned long long received = 0;
    Transfer transfer;
    {
        // Stopped (its flusher too) before the file is kept.
        CFileSink file(local);
        // Exactly the listed or announced bytes (a body of no announced
        // length ends only where its connection does), else at most the bound.
        const bool exact = listedSize >= 0 || body.length >= 0;
        const unsigned long long most =
            listedSize >= 0    ? static_cast<unsigned long long>(listedSize) - body.offset
            : body.length >= 0 ? static_cast<unsigned long long>(body.length)
                               : kMostUnsizedBytes - body.offset;
        CSizeSink sized(most, &file, exact);
        // Without a length the body's end may be a cut one: short of its
        // listed size it is kept.
        const unsigned long long least =
            body.length >= 0  ? static_cast<unsigned long long>(body.length)
            : listedSize >= 0 ? static_cast<unsigned long long>(listedSize) - body.offset
                              : 0;
        transfer = ReceiveInto(context, sized, progress, least, &received);
    }
    if (transfer == Transfer::Broken && local.Keep(body.validator).Ok())
        Trace(TRACE_INFO, "%s : %llu bytes kept for the next pass", context.c_str(),
              body.offset + received);
    if (transfer != Transfer::Whole)
        return 0;
    *size = body.offset + received;
    return 1;
}

int CNetDownLoader::DownloadFile(std::string remotePath, std::string localPath,
                                 DWORD expectedSize) {
    const std::string context =
        FormatText("DownloadFile(%s->%s)", remotePath.c_str(), localPath.c_str());
    if (!_IsRemoteFileOpened(remotePath)) {
        Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return 0;
    }
    if (!MakeLocalFolder(context, localPath))
        return 0;
    CPartialFile local;
    const Win32Result opened = local.Open(localPath);
    if (!opened.Ok())
        return LocalFileNotOpened(context, localPath, opened);
    Trace(TRACE_INFO, "%s : Local File open OK : %s", context.c_str(), localPath.c_str());

    Progress progress;
    progress.shown = expectedSize != 0;
    progress.total = expectedSize;
    progress.name = localPath;
    const DWORD least = m_pProtocol->LeastBodySize(m_hRemoteFile.get(), expectedSize);
    {
        CFileSink file(local);
        if (ReceiveInto(context, file, progress, least) != Transfer::Whole)
            return 0;
    }
    const Win32Result swapped = local.Commit();
    if (!swapped.Ok()) {
        ReportFailure(swapped);
        Trace(TRACE_ERROR, "%s : ERROR, could not replace local file(%s)", context.c_str(),
              localPath.c_str());
        return 0;
    }
    Trace(TRACE_INFO, "%s : Download complete : %s -> %s", context.c_str(), remotePath.c_str(),
          localPath.c_str());
    return 1;
}

int CNetDownLoader::_CreateLocalFolder(const char* folder) {
    return MakeFolderChain(folder).Ok() ? 1 : 0;
}
