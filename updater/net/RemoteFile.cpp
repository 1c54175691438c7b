// The one cached remote file (FTP transfer or HTTP response), remote size and
// time; the protocol's unit does the asking.
#include "NetDownLoader.h"

#include "FormatText.h"

#include <mbstring.h>

bool CNetDownLoader::IsOpenFor(const std::string& remotePath) const {
    return m_hRemoteFile &&
           _mbscmp(reinterpret_cast<const unsigned char*>(m_strOpenedRemoteFile.c_str()),
                   reinterpret_cast<const unsigned char*>(remotePath.c_str())) == 0;
}

int CNetDownLoader::_IsRemoteFileOpened(std::string remotePath) {
    if (!IsConnected()) {
        Trace(TRACE_ERROR, "_IsRemoteFileOpened : ERROR, server does not connected..");
        return 0;
    }
    if (!m_next.remotePath.empty() && m_next.remotePath == remotePath) {
        const ModuleTarget target = m_next;
        m_next = ModuleTarget();
        const std::string context =
            FormatText("DownloadFile(%s->%s)", remotePath.c_str(), target.localPath.c_str());
        if (OpenModule(context, target) != 1) {
            Trace(TRACE_ERROR,
                  "_IsRemoteFileOpened : ERROR, could not open remote file handle : %s",
                  remotePath.c_str());
            return 0;
        }
        return 1;
    }
    if (IsOpenFor(remotePath))
        return 1;
    m_hRemoteFile = _OpenRemoteFile(remotePath);
    if (!m_hRemoteFile) {
        Trace(TRACE_ERROR, "_IsRemoteFileOpened : ERROR, could not open remote file handle : %s",
              remotePath.c_str());
        return 0;
    }
    return 1;
}

unique_hinternet CNetDownLoader::_OpenRemoteFile(std::string remotePath) {
    m_strOpenedRemoteFile.clear();
    if (!IsConnected())
        return unique_hinternet();
    _CloseInternetHandle(m_hRemoteFile);
    DropModuleFile();
    unique_hinternet file = m_pProtocol->OpenFile(remotePath);
    if (file)
        m_strOpenedRemoteFile = remotePath;
    return file;
}

HINTERNET CNetDownLoader::OpenRemoteFile(const std::string& remotePath) {
    return _IsRemoteFileOpened(remotePath) ? m_hRemoteFile.get() : nullptr;
}

bool CNetDownLoader::CheckConnected(const std::string& context) {
    if (IsConnected())
        return true;
    Trace(TRACE_ERROR, "%s : ERROR, server does not connected..", context.c_str());
    return false;
}

void CNetDownLoader::SetNextModule(const std::string& remotePath, const std::string& localPath,
                                   long long listedSize) {
    m_next.remotePath = remotePath;
    m_next.localPath = localPath;
    m_next.listedSize = listedSize;
}

void CNetDownLoader::DropModuleFile() {
    if (m_pModuleFile && m_pModuleFile->TakenOver())
        m_pModuleFile->Keep(m_strKeptValidator);
    m_pModuleFile.reset();
    m_strModuleTarget.clear();
}

int CNetDownLoader::GetRemoteFileSize(std::string remotePath, DWORD* size) {
    const std::string context = FormatText("GetRemoteFileSize(%s)", remotePath.c_str());
    if (!CheckConnected(context))
        return 0;
    return m_pProtocol->FileSize(remotePath, context, size);
}

int CNetDownLoader::GetRemoteFileTime(std::string remotePath, time_t* time) {
    const std::string context = FormatText("GetRemoteFileTime(%s)", remotePath.c_str());
    if (!CheckConnected(context))
        return 0;
    return m_pProtocol->FileTime(remotePath, context, time);
}
