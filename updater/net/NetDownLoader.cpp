// The session: login information, the root and connection handles, and the
// one error report of the downloader.
#include "NetDownLoader.h"

#include "AppName.h"

#include <cstring>

CNetDownLoader::CNetDownLoader()
    : m_nProtocol(-1), m_nRemotePort(0xFFFF), m_pOwner(nullptr), m_bPassive(false),
      m_retries(::GetTickCount() ^ (::GetCurrentProcessId() << 16)) {
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
    if (!DefaultPort(protocol))
        return 0;
    m_strRemoteAddress = remoteAddress;
    m_nProtocol = protocol;
    m_nRemotePort = ServerPort(protocol, port);
    m_strLoginName = loginName;
    m_strLoginPassword = loginPassword;
    return 1;
}

int CNetDownLoader::Connect() {
    Disconnect();
    m_bServerAnswered = false;

    SessionFacts facts = m_settings;
    facts.remoteAddress = m_strRemoteAddress;
    facts.remotePort = m_nRemotePort;
    m_pProtocol = MakeRemoteProtocol(m_nProtocol, *this, facts, m_bPassive);
    if (!m_pProtocol)
        return 0; // no login information taken
    const ProxySettings& proxy = m_settings.proxy;
    const bool viaProxy = !proxy.address.empty() && m_pProtocol->UsesProxy();
    m_hInternet.reset(::InternetOpenA(
        AfxGetAppName().c_str(), viaProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
        viaProxy ? proxy.address.c_str() : nullptr,
        viaProxy && !proxy.bypass.empty() ? proxy.bypass.c_str() : nullptr,
        0)); // synchronous
    if (!m_hInternet) {
        _ReportError("InternetOpen", "");
        return 0;
    }
    Trace(TRACE_INFO, "InternetOpen() OK...");

    // Child handles inherit these, so a server that stops answering fails the
    // step instead of blocking the worker for good.
    DWORD timeout = m_settings.timeoutSeconds * 1000;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(m_hInternet.get(), option, &timeout, sizeof(timeout));

    // An empty login name means no credentials at all (FTP: anonymous).
    const bool credentials = !m_strLoginName.empty();
    for (unsigned retry = 1;; ++retry) {
        m_hConnect.reset(::InternetConnectA(
            m_hInternet.get(), m_strRemoteAddress.c_str(), m_nRemotePort,
            credentials ? m_strLoginName.c_str() : nullptr,
            credentials ? m_strLoginPassword.c_str() : nullptr, m_pProtocol->Service(),
            m_pProtocol->ConnectFlags(), reinterpret_cast<DWORD_PTR>(this)));
        if (m_hConnect)
            break;
        // The root handle stays open; the next Connect or Disconnect closes it.
        const Win32Result failed = Win32Result::Failed("InternetConnect");
        ReportFailure(failed);
        if (!m_pProtocol->ConnectMayPass(failed) ||
            !WaitToTryAgain(m_retries, retry, 0, *this,
                            "InternetConnect(" + m_strRemoteAddress + ")"))
            return 0;
    }
    // An FTP connection logs in at once; an HTTP one waits for its first request.
    m_bServerAnswered = m_pProtocol->AnswersOnConnect();
    // The log is a file on disk: the password stays out of it.
    Trace(TRACE_INFO, "InternetConnect(%s , %d, %s, %s, %d) OK...", m_strRemoteAddress.c_str(),
          m_nRemotePort, m_strLoginName.c_str(), "***", m_nProtocol);
    return 1;
}

void CNetDownLoader::Disconnect() {
    _CloseInternetHandle(m_hRemoteFile);
    // A redirect's connections go before the root handle that holds them.
    if (m_pProtocol)
        m_pProtocol->CloseConnections();
    _CloseInternetHandle(m_hConnect);
    _CloseInternetHandle(m_hInternet);
}

// A handle that will not close is kept, and reported.
void CNetDownLoader::_CloseInternetHandle(unique_hinternet& handle) {
    if (!handle.close())
        _ReportError("InternetCloseHandle", "");
}

namespace {
void WriteErrorReport(CTraceBase& trace, const char* function, DWORD error,
                      const std::string& detail) {
    trace.Trace(TRACE_ERROR, "ERROR : Function(%s) failed , EC=%d , %s \n", function,
                static_cast<int>(error), detail.c_str());
}
} // namespace

void CNetDownLoader::_ReportError(std::string function, std::string detail) {
    const DWORD error = ::GetLastError();
    WriteErrorReport(*this, function.c_str(), error, detail);
}

void CNetDownLoader::ReportFailure(const Win32Result& failure, const std::string& detail) {
    WriteErrorReport(*this, failure.FailedCall(), failure.Error(), detail);
}
