// The one cached remote file (FTP transfer or HTTP response), remote size and
// time; the protocol's unit does the asking and hands back what it opens.
#include "NetDownLoader.h"

#include "FormatText.h"
#include "KeptPartial.h"

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
    unique_hinternet file = m_pProtocol->OpenFile(remotePath);
    if (file)
        m_strOpenedRemoteFile = remotePath;
    return file;
}

bool CNetDownLoader::CheckConnected(const std::string& context) {
    if (IsConnected())
        return true;
    Trace(TRACE_ERROR, "%s : ERROR, server does not connected..", context.c_str());
    return false;
}

KeptPart CNetDownLoader::KeptToContinue(const RemoteModule& module) const {
    const KeptPart kept = FindKeptPart(module.localPath, module.remotePath);
    if ((module.listedSize >= 0 &&
         kept.size >= static_cast<unsigned long long>(module.listedSize)) ||
        IsWholeModuleValidator(kept.validator))
        return KeptPart();
    return kept;
}

bool CNetDownLoader::OpenIntoCache(const std::string& remotePath,
                                   const std::function<unique_hinternet()>& open) {
    m_strOpenedRemoteFile.clear();
    _CloseInternetHandle(m_hRemoteFile);
    m_hRemoteFile = open();
    if (m_hRemoteFile)
        m_strOpenedRemoteFile = remotePath;
    return static_cast<bool>(m_hRemoteFile);
}

bool CNetDownLoader::OpenModuleFile(const RemoteModule& module, const KeptPart& asked,
                                    const std::string& sizeAnswer, RemoteBody& body) {
    if (OpenIntoCache(module.remotePath, [&] {
            return m_pProtocol->OpenFileFrom(module.remotePath, asked.size, asked.validator,
                                             sizeAnswer, body);
        }))
        return true;
    Trace(TRACE_ERROR, "_IsRemoteFileOpened : ERROR, could not open remote file handle : %s",
          module.remotePath.c_str());
    return false;
}

int CNetDownLoader::AskSize(const std::string& remotePath, const std::function<bool()>& open,
                            DWORD* size, std::string* answer) {
    const std::string context = FormatText("GetRemoteFileSize(%s)", remotePath.c_str());
    if (!CheckConnected(context))
        return 0;
    HINTERNET response = nullptr;
    if (m_pProtocol->SizeFromResponse()) {
        if (!open()) {
            Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
            return 0;
        }
        response = m_hRemoteFile.get();
    } else {
        _CloseInternetHandle(m_hRemoteFile);
    }
    return m_pProtocol->FileSize(response, remotePath, context, size, answer).Ok() ? 1 : 0;
}

int CNetDownLoader::GetRemoteFileSize(std::string remotePath, DWORD* size) {
    std::string answer;
    return AskSize(
        remotePath, [&] { return _IsRemoteFileOpened(remotePath) != 0; }, size, &answer);
}

int CNetDownLoader::AskModuleSize(RemoteModule& module, DWORD* size) {
    module.asked = KeptPart();
    module.opened = false;
    module.body = RemoteBody();
    module.sizeAnswer.clear();
    return AskSize(
        module.remotePath,
        [&] {
            module.asked = KeptToContinue(module);
            module.opened = OpenModuleFile(module, module.asked, std::string(), module.body);
            return module.opened;
        },
        size, &module.sizeAnswer);
}

int CNetDownLoader::GetRemoteFileTime(std::string remotePath, time_t* time) {
    const std::string context = FormatText("GetRemoteFileTime(%s)", remotePath.c_str());
    if (!CheckConnected(context))
        return 0;
    // The cached file's own response answers; any other goes first.
    const bool open = IsOpenFor(remotePath) && m_pProtocol->SizeFromResponse();
    if (!open)
        _CloseInternetHandle(m_hRemoteFile);
    unique_hinternet opened;
    const Win32Result asked = m_pProtocol->FileTime(open ? m_hRemoteFile.get() : nullptr,
                                                    remotePath, context, time, opened);
    if (opened) {
        m_hRemoteFile = std::move(opened);
        m_strOpenedRemoteFile = remotePath;
    }
    return asked.Ok() ? 1 : 0;
}
