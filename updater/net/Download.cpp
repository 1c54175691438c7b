// A remote file's body into a sink, and the download into a local file.
#include "FormatText.h"
#include "LocalFolder.h"
#include "NetDownLoader.h"
#include "ReadSize.h"

#include <memory>
#include <new>
#include <optional>

int CNetDownLoader::ReceiveInto(const std::string& context, IDownloadSink& sink, DWORD expectedSize,
                                const std::string& progressName) {
    const DWORD leastSize = m_pProtocol->LeastBodySize(m_hRemoteFile.get(), expectedSize);
    // Read from, the handle is of no use under its path any more: a second
    // download of the path must fetch the file again.
    const unique_hinternet remote = std::move(m_hRemoteFile);
    m_strOpenedRemoteFile.clear();

    // One buffer for the whole transfer, of the largest read.
    const std::unique_ptr<char[]> buffer(new (std::nothrow) char[CReadSize::kLargest]);
    if (!buffer) {
        ReportFailure(Win32Result::Failed("InternetReadFile", ERROR_NOT_ENOUGH_MEMORY));
        return 0;
    }
    CReadSize readSize;
    int block = 0;
    DWORD sum = 0;
    for (;;) {
        DWORD count = 0;
        const DWORD started = ::GetTickCount();
        if (!::InternetReadFile(remote.get(), buffer.get(), readSize.Current(), &count)) {
            _ReportError("InternetReadFile", "");
            return 0;
        }
        readSize.Took(::GetTickCount() - started);
        if (count == 0)
            break;
        ++block;
        sum += count;
        Trace(TRACE_DETAIL, "%s : InternetReadFile[%3d] : %3d bytes", context.c_str(), block,
              static_cast<int>(count));
        if (expectedSize && m_pOwner)
            m_pOwner->ShowProgress(block == 1 ? progressName : std::string(), expectedSize, sum);
        const Win32Result added = sink.Add(buffer.get(), count);
        if (!added.Ok()) {
            ReportFailure(added);
            return 0;
        }
    }
    if (sum < leastSize) {
        // A dropped connection can look like the end of the data.
        Trace(TRACE_ERROR, "%s : ERROR, remote data ended early : %u of %u bytes", context.c_str(),
              static_cast<unsigned>(sum), static_cast<unsigned>(leastSize));
        return 0;
    }
    const Win32Result finished = sink.Finish();
    if (!finished.Ok()) {
        ReportFailure(finished);
        return 0;
    }
    return 1;
}

int CNetDownLoader::ReadRemoteFile(const std::string& remotePath, IDownloadSink& sink,
                                   DWORD expectedSize, const std::string& progressName) {
    const std::string context = FormatText("ReadRemoteFile(%s)", remotePath.c_str());
    if (!_IsRemoteFileOpened(remotePath)) {
        Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return 0;
    }
    return ReceiveInto(context, sink, expectedSize, progressName);
}

int CNetDownLoader::ReceiveFile(const std::string& remotePath, const std::string& localPath,
                                DWORD expectedSize, long long exactSize, CPartialFile& local) {
    const std::string context =
        FormatText("DownloadFile(%s->%s)", remotePath.c_str(), localPath.c_str());
    if (!_IsRemoteFileOpened(remotePath)) {
        Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return 0;
    }

    const std::string folder = LocalFolderOf(localPath);
    if (!folder.empty() && !_CreateLocalFolder(folder.c_str())) {
        Trace(TRACE_ERROR, "%s : ERROR, could not create local folder(%s)", context.c_str(),
              folder.c_str());
        return 0;
    }

    const Win32Result opened = local.Open(localPath);
    if (!opened.Ok()) {
        ReportFailure(opened);
        Trace(TRACE_ERROR, "%s : ERROR, could not create(open) local file(%s)", context.c_str(),
              localPath.c_str());
        return 0;
    }
    Trace(TRACE_INFO, "%s : Local File open OK : %s", context.c_str(), localPath.c_str());

    CFileSink file(local);
    std::optional<CSizeSink> sized;
    if (exactSize >= 0)
        sized.emplace(static_cast<unsigned long long>(exactSize), &file);
    return ReceiveInto(context, sized ? static_cast<IDownloadSink&>(*sized) : file, expectedSize,
                       localPath);
}

int CNetDownLoader::DownloadFile(std::string remotePath, std::string localPath,
                                 DWORD expectedSize) {
    CPartialFile local;
    if (!ReceiveFile(remotePath, localPath, expectedSize, -1, local))
        return 0;
    const std::string context =
        FormatText("DownloadFile(%s->%s)", remotePath.c_str(), localPath.c_str());
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
