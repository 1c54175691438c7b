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

int CNetDownLoader::OpenModule(const std::string& context, const ModuleTarget& target) {
    _CloseInternetHandle(m_hRemoteFile);
    DropModuleFile();
    m_strOpenedRemoteFile.clear();
    auto local = std::make_unique<CPartialFile>();
    KeptPart kept;
    // A folder not there yet holds no kept file: it is made once the server
    // has the module.
    const std::string folder = LocalFolderOf(target.localPath);
    const auto openLocal = [&] {
        const Win32Result result = local->OpenKept(target.localPath, target.remotePath, kept);
        if (!result.Ok())
            return LocalFileNotOpened(context, target.localPath, result) != 0;
        Trace(TRACE_INFO, "%s : Local File open OK : %s", context.c_str(),
              target.localPath.c_str());
        return true;
    };
    const bool opened =
        folder.empty() || ::GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (opened && !openLocal())
        return -1;
    // Kept bytes that fill the listed size or more are no part of this module;
    // a module kept whole is continued by no server.
    if ((kept.size && target.listedSize >= 0 &&
         kept.size >= static_cast<unsigned long long>(target.listedSize)) ||
        IsWholeModuleValidator(kept.validator))
        kept = KeptPart();
    RemoteBody body;
    unique_hinternet remote =
        m_pProtocol->OpenFileFrom(target.remotePath, kept.size, kept.validator, body);
    if (!remote) {
        // The kept bytes wait for a pass that reaches the server.
        if (kept.size)
            local->Keep(kept.validator);
        return 0;
    }
    if (!opened && (!MakeLocalFolder(context, target.localPath) || !openLocal()))
        return -1;
    m_hRemoteFile = std::move(remote);
    m_strOpenedRemoteFile = target.remotePath;
    m_pModuleFile = std::move(local);
    m_strModuleTarget = target.localPath;
    m_strKeptValidator = kept.validator;
    m_body = body;
    return 1;
}

int CNetDownLoader::ReceiveFile(const std::string& remotePath, const std::string& localPath,
                                long long listedSize, CPartialFile& local,
                                unsigned long long* size) {
    const std::string context =
        FormatText("DownloadFile(%s->%s)", remotePath.c_str(), localPath.c_str());
    if (!CheckConnected(context))
        return 0;
    // The response the size query opened for this module, else one now.
    m_next = ModuleTarget();
    if (!IsOpenFor(remotePath) || !m_pModuleFile || m_strModuleTarget != localPath) {
        ModuleTarget target;
        target.remotePath = remotePath;
        target.localPath = localPath;
        target.listedSize = listedSize;
        const int opened = OpenModule(context, target);
        if (opened == 0)
            Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        if (opened != 1)
            return 0;
    }
    local.Swap(*m_pModuleFile);
    m_pModuleFile.reset();
    m_strModuleTarget.clear();
    const RemoteBody body = m_body;
    if (body.offset) {
        Trace(TRACE_INFO, "%s : continued from byte %llu of a kept partial file", context.c_str(),
              body.offset);
    } else if (local.TakenOver()) {
        const Win32Result emptied = local.StartOver();
        if (!emptied.Ok())
            return LocalFileNotOpened(context, localPath, emptied);
    }

    Progress progress;
    progress.shown = true;
    const unsigned long long whole =
        body.length >= 0  ? body.offset + static_cast<unsigned long long>(body.length)
        : listedSize >= 0 ? static_cast<unsigned long long>(listedSize)
                          : 0;
    progress.total = whole <= kMostUnsizedBytes ? static_cast<DWORD>(whole) : 0;
    progress.done = static_cast<DWORD>(body.offset);
    progress.name = localPath;
    unsigned long long received = 0;
    Transfer transfer;
    {
        // Stopped (its flusher too) before the file is kept.
        CFileSink file(local);
        // Exactly the listed or announced bytes (an FTP transfer ends only
        // where its connection does), else at most the bound.
        const bool exact = listedSize >= 0 || body.length >= 0;
        const unsigned long long most =
            listedSize >= 0    ? static_cast<unsigned long long>(listedSize) - body.offset
            : body.length >= 0 ? static_cast<unsigned long long>(body.length)
                               : kMostUnsizedBytes - body.offset;
        CSizeSink sized(most, &file, exact);
        // Without a length the body's end may be a cut one (Wine's WinINet
        // ends a chunked body that a closed connection cuts short as a whole
        // one): short of its listed size it is kept.
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
