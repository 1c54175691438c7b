// File download into a local file, and the local folder chain.
#include "NetDownLoader.h"
#include "NetText.h"
#include "PartialFile.h"

#include <cstring>

namespace {

const DWORD kBlockSize = 4096;

// Reads the open remote file to its end into the local file, with progress.
int ReceiveFile(CNetDownLoader& net, const std::string& context, const std::string& localPath,
                DWORD expectedSize, DWORD leastSize, IDownloadCheck* check, CPartialFile& local) {
    char buffer[kBlockSize];
    int block = 0;
    DWORD sum = 0;
    for (;;) {
        DWORD count = 0;
        if (!::InternetReadFile(net.m_hRemoteFile, buffer, kBlockSize, &count)) {
            net._ReportError("InternetReadFile", "");
            return 0;
        }
        if (count == 0)
            break;
        ++block;
        sum += count;
        net.Trace(TRACE_DETAIL, "%s : InternetReadFile[%3d] : %3d bytes", context.c_str(), block,
                  static_cast<int>(count));
        if (expectedSize && net.m_pOwner)
            net.m_pOwner->ShowProgress(block == 1 ? localPath : std::string(), expectedSize, sum);
        if (check && !check->Add(buffer, count)) {
            net.Trace(TRACE_ERROR, "%s : ERROR, received data failed its check", context.c_str());
            return 0;
        }
        if (!local.Write(buffer, count)) {
            net._ReportError("CFile::Write", "");
            return 0;
        }
    }
    if (sum < leastSize) {
        // A dropped connection can look like the end of the data.
        net.Trace(TRACE_ERROR, "%s : ERROR, remote data ended early : %u of %u bytes",
                  context.c_str(), static_cast<unsigned>(sum), static_cast<unsigned>(leastSize));
        return 0;
    }
    if (!local.Close()) {
        net._ReportError("CFile::Write", "");
        return 0;
    }
    if (check && !check->Accept()) {
        net.Trace(TRACE_ERROR, "%s : ERROR, received data failed its check", context.c_str());
        return 0;
    }
    return 1;
}

} // namespace

DWORD CNetDownLoader::_ExpectedBodySize(DWORD expectedSize) {
    if (expectedSize || m_nProtocol != PROTOCOL_HTTP)
        return expectedSize;
    // Without a size from the caller the response's own length is the bound.
    DWORD length = 0;
    DWORD size = sizeof(length);
    if (!::HttpQueryInfoA(m_hRemoteFile, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                          &length, &size, nullptr))
        return 0;
    return length;
}

int CNetDownLoader::DownloadFile(std::string remotePath, std::string localPath, DWORD expectedSize,
                                 IDownloadCheck* check) {
    std::string context = FormatText("DownloadFile(%s->%s)", remotePath.c_str(), localPath.c_str());
    if (!_IsRemoteFileOpened(remotePath)) {
        Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return 0;
    }

    std::string folder = LocalFolderOf(localPath);
    if (!folder.empty() && !_CreateLocalFolder(folder.c_str())) {
        Trace(TRACE_ERROR, "%s : ERROR, could not create local folder(%s)", context.c_str(),
              folder.c_str());
        return 0;
    }

    CPartialFile local;
    if (!local.Open(localPath)) {
        _ReportError("CFile::Open", "");
        Trace(TRACE_ERROR, "%s : ERROR, could not create(open) local file(%s)", context.c_str(),
              localPath.c_str());
        return 0;
    }
    Trace(TRACE_INFO, "%s : Local File open OK : %s", context.c_str(), localPath.c_str());

    int received = ReceiveFile(*this, context, localPath, expectedSize,
                               _ExpectedBodySize(expectedSize), check, local);
    // Read from, the handle is of no use under its path any more: a second
    // download of the path must fetch the file again.
    _CloseInternetHandle(m_hRemoteFile);
    m_strOpenedRemoteFile.clear();
    if (!received)
        return 0;

    const char* failedCall = nullptr;
    if (!local.Commit(&failedCall)) {
        _ReportError(failedCall, "");
        Trace(TRACE_ERROR, "%s : ERROR, could not replace local file(%s)", context.c_str(),
              localPath.c_str());
        return 0;
    }
    Trace(TRACE_INFO, "%s : Download complete : %s -> %s", context.c_str(), remotePath.c_str(),
          localPath.c_str());
    return 1;
}

int CNetDownLoader::_CreateLocalFolder(const char* folder) {
    char buffer[MAX_PATH];
    size_t length = strlen(folder);
    if (length >= sizeof(buffer))
        return 0;
    memcpy(buffer, folder, length + 1);
    char* const end = buffer + length;
    char* cursor = end;

    // Walk up until a folder can be made, then down again making each level.
    for (int attempts = 0;;) {
        BOOL created = ::CreateDirectoryA(buffer, nullptr);
        DWORD error = created ? ERROR_SUCCESS : ::GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) {
            while (cursor > buffer && *cursor != '\\')
                --cursor;
            if (*cursor != '\\')
                return 0;
            *cursor = '\0';
        } else {
            // Some file systems refuse an existing folder (a drive's root) with
            // another code than "already exists".
            if (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS) {
                DWORD attributes = ::GetFileAttributesA(buffer);
                if (attributes == INVALID_FILE_ATTRIBUTES ||
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                    return 0;
            }
            if (cursor == end)
                return 1;
            *cursor = '\\';
            cursor += strlen(cursor);
        }
        if (++attempts >= 20)
            return 0;
    }
}
