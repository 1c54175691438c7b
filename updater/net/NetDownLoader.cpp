// The session: login information, the root and connection handles, and the
// one error report of the downloader.
#include "NetDownLoader.h"

#include "AppName.h"

#include <cstring>

CNetDownLoader::CNetDownLoader()
    : m_nProtocol(-1), m_nRemotePort(0xFFFF), m_pOwner(nullptr), m_dwTimeoutSeconds(30),
      m_bPassive(false), m_bFtpListing(false), m_bFtpBinary(false) {
    m_nTraceLevel = 0;
    strcpy(m_szClassName, "CNetDownLoader");
    OpenLog("NetDownLoader.log");
}

CNetDownLoader::~CNetDownLoader() {
    Disconnect();
}

void CNetDownLoader::WriteTrace(int level, const char* format, va_list args) {
    if (level <= m_nTraceLevel)
        CTraceBase::WriteTrace(level, format, args);
}

int CNetDownLoader::SetLoginInfo(std::string remoteAddress, int protocol, int port,
                                 std::string loginName, std::string loginPassword) {
    unsigned short low = static_cast<unsigned short>(port & 0xFFFF);
    unsigned short chosen;
    if (protocol == PROTOCOL_FTP)
        chosen = low ? low : INTERNET_DEFAULT_FTP_PORT;
    else if (protocol == PROTOCOL_HTTP)
        chosen = low ? low : INTERNET_DEFAULT_HTTP_PORT;
    else if (protocol == PROTOCOL_HTTPS)
        chosen = low ? low : INTERNET_DEFAULT_HTTPS_PORT;
    else
        return 0;
    m_strRemoteAddress = remoteAddress;
    m_nProtocol = protocol;
    m_nRemotePort = chosen;
    m_strLoginName = loginName;
    m_strLoginPassword = loginPassword;
    return 1;
}

int CNetDownLoader::Connect() {
    Disconnect();
    m_bServerAnswered = false;

    m_hInternet.reset(::InternetOpenA(AfxGetAppName().c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                                      nullptr, // no proxy name
                                      nullptr, // no proxy bypass list
                                      0));     // synchronous
    if (!m_hInternet) {
        _ReportError("InternetOpen", "");
        return 0;
    }
    Trace(TRACE_INFO, "InternetOpen() OK...");

    // Child handles inherit these, so a server that stops answering fails the
    // step instead of blocking the worker for good.
    DWORD timeout = m_dwTimeoutSeconds * 1000;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(m_hInternet.get(), option, &timeout, sizeof(timeout));

    // An empty login name means no credentials at all (FTP: anonymous).
    const bool credentials = !m_strLoginName.empty();
    const bool ftp = m_nProtocol == PROTOCOL_FTP;
    m_bFtpListing = false;
    m_bFtpBinary = false;
    m_hConnect.reset(::InternetConnectA(
        m_hInternet.get(), m_strRemoteAddress.c_str(), m_nRemotePort,
        credentials ? m_strLoginName.c_str() : nullptr,
        credentials ? m_strLoginPassword.c_str() : nullptr,
        ftp ? INTERNET_SERVICE_FTP : INTERNET_SERVICE_HTTP,
        ftp && m_bPassive ? INTERNET_FLAG_PASSIVE : 0, reinterpret_cast<DWORD_PTR>(this)));
    if (!m_hConnect) {
        // The root handle stays open; the next Connect or Disconnect closes it.
        _ReportError("InternetConnect", "");
        return 0;
    }
    // An FTP connection logs in at once; an HTTP one waits for its first request.
    m_bServerAnswered = m_nProtocol == PROTOCOL_FTP;
    Trace(TRACE_INFO, "InternetConnect(%s , %d, %s, %s, %d) OK...", m_strRemoteAddress.c_str(),
          m_nRemotePort, m_strLoginName.c_str(), m_strLoginPassword.c_str(), m_nProtocol);
    return 1;
}

void CNetDownLoader::Disconnect() {
    _CloseInternetHandle(m_hRemoteFile);
    _CloseInternetHandle(m_hConnect);
    _CloseInternetHandle(m_hInternet);
}

// A handle that will not close is kept, and reported.
void CNetDownLoader::_CloseInternetHandle(unique_hinternet& handle) {
    if (!handle.close())
        _ReportError("InternetCloseHandle", "");
}

// Right after the platform call that failed, while its error is the last one.
void CNetDownLoader::_ReportError(std::string function, std::string detail) {
    const DWORD error = ::GetLastError();
    Trace(TRACE_ERROR, "ERROR : Function(%s) failed , EC=%d , %s \n", function.c_str(),
          static_cast<int>(error), detail.c_str());
}

void CNetDownLoader::Report(const Win32Result& failure) {
    ::SetLastError(failure.Error());
    _ReportError(failure.FailedCall(), "");
}
