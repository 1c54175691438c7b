// The one cached remote file (FTP transfer or HTTP response), remote size and time.
#include "NetDownLoader.h"
#include "NetText.h"
#include "TimeValue.h"

#include <cstdlib>
#include <memory>
#include <mbstring.h>

namespace {

// The library is told the record is 16 bytes long, its size on every platform.
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME layout");

bool SamePath(const std::string& a, const std::string& b) {
    return _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                   reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

// The path as a server reads it: the list's characters beyond ASCII (in the
// ANSI code page) as UTF-8, percent-escaped.
bool RequestPath(const std::string& remotePath, std::string& path) {
    const int wide = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, remotePath.data(),
                                           static_cast<int>(remotePath.size()), nullptr, 0);
    if (wide <= 0 && !remotePath.empty())
        return false;
    std::wstring text(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, remotePath.data(), static_cast<int>(remotePath.size()),
                          &text[0], wide);
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &utf8[0], length, nullptr, nullptr);
    path = PercentEncodeHighBytes(utf8);
    return true;
}

} // namespace

int CNetDownLoader::_IsRemoteFileOpened(std::string remotePath) {
    if (!IsConnected()) {
        Trace(TRACE_ERROR, "_IsRemoteFileOpened : ERROR, server does not connected..");
        return 0;
    }
    if (m_hRemoteFile && SamePath(m_strOpenedRemoteFile, remotePath))
        return 1;

    if (m_nProtocol == PROTOCOL_FTP)
        m_hRemoteFile = _OpenFtpFile(remotePath);
    else if (IsHttp())
        m_hRemoteFile = _OpenHttpFile(remotePath);
    else
        return 0;

    if (!m_hRemoteFile) {
        Trace(TRACE_ERROR, "_IsRemoteFileOpened : ERROR, could not open remote file handle : %s",
              remotePath.c_str());
        return 0;
    }
    return 1;
}

unique_hinternet CNetDownLoader::_OpenFtpFile(std::string remotePath) {
    m_strOpenedRemoteFile.clear();
    if (!IsConnected())
        return unique_hinternet();
    _CloseInternetHandle(m_hRemoteFile);

    const HINTERNET connection = m_hConnect.get();
    const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(this); // never read back
    unique_hinternet file = MakeFtpDataConnection("FtpOpenFile", [=] {
        return ::FtpOpenFileA(connection, remotePath.c_str(), GENERIC_READ,
                              FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, context);
    });
    if (!file)
        return file;
    Trace(TRACE_INFO, "FtpOpenFile(%s) OK...", remotePath.c_str());
    m_strOpenedRemoteFile = remotePath;
    return file;
}

unique_hinternet CNetDownLoader::_OpenHttpFile(std::string remotePath) {
    m_strOpenedRemoteFile.clear();
    if (!IsConnected())
        return unique_hinternet();
    _CloseInternetHandle(m_hRemoteFile);
    unique_hinternet request = SendHttpRequest(remotePath, nullptr); // GET
    if (request)
        m_strOpenedRemoteFile = remotePath;
    return request;
}

unique_hinternet CNetDownLoader::SendHttpRequest(const std::string& remotePath, const char* verb,
                                                 long* statusCode) {
    std::string objectName;
    if (!RequestPath(remotePath, objectName)) {
        _ReportError("MultiByteToWideChar", "");
        return unique_hinternet();
    }
    const char* acceptTypes[] = {"*/*", nullptr};
    // Secure: the server's certificate must chain to a root this machine
    // trusts and name the host; nothing turns either check off.
    const DWORD secure = m_nProtocol == PROTOCOL_HTTPS ? INTERNET_FLAG_SECURE : 0;
    unique_hinternet request(::HttpOpenRequestA(
        m_hConnect.get(), verb, objectName.c_str(), nullptr, // the library's HTTP version
        nullptr,                                             // no referrer
        acceptTypes,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
            secure,
        reinterpret_cast<DWORD_PTR>(this)));
    if (!request) {
        _ReportError("HttpOpenRequest", "");
        return request;
    }
    Trace(TRACE_INFO, "HttpOpenRequest(%s) OK...", remotePath.c_str());
    // Windows hands the root handle's time-outs down to the request; Wine's
    // library does not, and would wait for a stalled body forever.
    DWORD timeout = m_dwTimeoutSeconds * 1000;
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));

    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        _ReportError("HttpSendRequest", "");
        _CloseInternetHandle(request);
        return unique_hinternet();
    }
    Trace(TRACE_INFO, "HttpSendRequest(%s) OK...", remotePath.c_str());

    char status[32] = {};
    DWORD length = sizeof(status);
    if (!::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE, status, &length, nullptr)) {
        _ReportError("HttpQueryInfo", "");
        _CloseInternetHandle(request);
        return unique_hinternet();
    }
    m_bServerAnswered = true;
    long code = atol(status);
    if (statusCode)
        *statusCode = code;
    if (code != HTTP_STATUS_OK) {
        Trace(TRACE_ERROR, "HttpSendRequest(%s)  STAUS = %d ERROR...", remotePath.c_str(),
              static_cast<int>(code));
        _CloseInternetHandle(request);
        return unique_hinternet();
    }
    Trace(TRACE_INFO, "HttpSendRequest(%s)  STAUS = %d OK...", remotePath.c_str(),
          static_cast<int>(code));
    return request;
}

int CNetDownLoader::FindFtpFile(const std::string& remotePath, WIN32_FIND_DATAA* found) {
    // The connection carries one transfer at a time: a running one goes first.
    _CloseInternetHandle(m_hRemoteFile);
    // Filled by a call that may outlive this one.
    const auto record = std::make_shared<WIN32_FIND_DATAA>();
    const HINTERNET connection = m_hConnect.get();
    unique_hinternet find = MakeFtpDataConnection("FtpFindFirstFile", [=] {
        return ::FtpFindFirstFileA(connection, remotePath.c_str(), record.get(),
                                   INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                       INTERNET_FLAG_NO_CACHE_WRITE,
                                   0);
    });
    if (!find)
        return 0;
    *found = *record;
    _CloseInternetHandle(find);
    return 1;
}

// The common start of both queries: the connected state and, for HTTP, the
// response whose headers answer them. The size query opens the module's GET,
// whose body a download then reads. The time query reads the GET when it is
// open already, else asks with HEAD: a GET closed unread makes the library
// read its whole body first, so a pass over current modules would fetch them.
HINTERNET CNetDownLoader::BeginRemoteQuery(const std::string& remotePath,
                                           const std::string& context,
                                           unique_hinternet* headRequest) {
    if (!IsConnected()) {
        Trace(TRACE_ERROR, "%s : ERROR, server does not connected..", context.c_str());
        return nullptr;
    }
    if (!IsHttp())
        return m_hConnect.get();
    const bool open = m_hRemoteFile && SamePath(m_strOpenedRemoteFile, remotePath);
    long status = 0;
    if (headRequest && !open) {
        *headRequest = SendHttpRequest(remotePath, "HEAD", &status);
        if (*headRequest)
            return headRequest->get();
    }
    // A server that will not answer HEAD is asked with the GET after all; a
    // path it does not have is not asked twice.
    if (status != HTTP_STATUS_NOT_FOUND && _IsRemoteFileOpened(remotePath))
        return m_hRemoteFile.get();
    Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
    return nullptr;
}

int CNetDownLoader::GetRemoteFileSize(std::string remotePath, DWORD* size) {
    std::string context = FormatText("GetRemoteFileSize(%s)", remotePath.c_str());
    if (!BeginRemoteQuery(remotePath, context))
        return 0;

    if (m_nProtocol == PROTOCOL_FTP)
        return FtpFileSize(remotePath, context, size);
    if (IsHttp()) {
        char text[32] = {};
        DWORD length = sizeof(text);
        if (!::HttpQueryInfoA(m_hRemoteFile.get(), HTTP_QUERY_CONTENT_LENGTH, text, &length,
                              nullptr)) {
            _ReportError("HttpQueryInfo", "");
            return 0;
        }
        *size = static_cast<DWORD>(atol(text));
        Trace(TRACE_INFO, "%s : HttpQueryInfo : size =%d", context.c_str(),
              static_cast<int>(*size));
        return 1;
    }
    return 0;
}

int CNetDownLoader::GetRemoteFileTime(std::string remotePath, time_t* time) {
    std::string context = FormatText("GetRemoteFileTime(%s)", remotePath.c_str());
    unique_hinternet headRequest;
    HINTERNET response = BeginRemoteQuery(remotePath, context, &headRequest);
    if (!response)
        return 0;
    if (m_nProtocol == PROTOCOL_FTP)
        return FtpFileTime(remotePath, context, time);
    if (IsHttp())
        return HttpFileTime(response, context, time);
    return 0;
}

int CNetDownLoader::HttpFileTime(HINTERNET response, const std::string& context, time_t* time) {
    SYSTEMTIME modified = {};
    DWORD length = sizeof(modified);
    if (!::HttpQueryInfoA(response, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME,
                          &modified, &length, nullptr)) {
        _ReportError("HttpQueryInfo", "");
        return 0;
    }
    Trace(TRACE_INFO, "%s : HttpQueryInfo date = %04d-%02d-%02d %02d:%02d:%02d", context.c_str(),
          modified.wYear, modified.wMonth, modified.wDay, modified.wHour, modified.wMinute,
          modified.wSecond);
    FILETIME utc;
    if (!::SystemTimeToFileTime(&modified, &utc)) {
        _ReportError("SystemTimeToFileTime", "");
        return 0;
    }
    time_t value;
    if (!TimeFromFileTime(utc, &value))
        return 0;
    *time = value;
    Trace(TRACE_INFO, "%s : Converted DateTime = %s", context.c_str(),
          FormatLocalTime(value).c_str());
    return 1;
}
