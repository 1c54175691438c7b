// Requests over the downloader's connection: each try's redirects followed
// and checked, a proxy's 407 answered where the request went through it,
// and failures that may pass tried again under the pass's budget.
#include "HttpSession.h"

#include "NetText.h"
#include "ProxyRoute.h"
#include "RetryBudget.h"
#include "TimeValue.h"

#include <iterator>

namespace {

// The path as a server reads it: the list's characters beyond ASCII (in the
// ANSI code page) as UTF-8, percent-escaped.
Win32Result RequestPath(const std::string& remotePath, std::string& path) {
    const int wide = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, remotePath.data(),
                                           static_cast<int>(remotePath.size()), nullptr, 0);
    if (wide <= 0 && !remotePath.empty())
        return Win32Result::Failed("MultiByteToWideChar");
    std::wstring text(static_cast<size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, remotePath.data(), static_cast<int>(remotePath.size()),
                          &text[0], wide);
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &utf8[0], length, nullptr, nullptr);
    path = PercentEncodeHighBytes(utf8);
    return Win32Result();
}

bool IsRedirect(long status) {
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT ||
           status == HTTP_STATUS_REDIRECT_METHOD || status == HTTP_STATUS_REDIRECT_KEEP_VERB ||
           status == 308;
}

// Failures of the connection that may pass: tried again.
bool IsPassingError(DWORD error) {
    return error == ERROR_INTERNET_CANNOT_CONNECT || error == ERROR_INTERNET_CONNECTION_RESET ||
           error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_TIMEOUT;
}

// Hops after the first request: a chain longer than this is a loop, or
// nothing the updater should follow.
const int kMostHops = 5;

} // namespace

unique_hinternet CHttpSession::SendRequest(const std::string& remotePath, const char* verb,
                                           long* statusCode, const std::string& headers) {
    for (unsigned retry = 1;; ++retry) {
        Passing passing;
        unique_hinternet request = SendFollowing(remotePath, verb, statusCode, headers, passing);
        if (request || !passing.transient ||
            !WaitToTryAgain(m_host.Retries(), retry, passing.retryAfterMs, m_host.Tracer(),
                            "HttpSendRequest(" + remotePath + ")"))
            return request;
    }
}

unique_hinternet CHttpSession::SendFollowing(const std::string& remotePath, const char* verb,
                                             long* statusCode, const std::string& headers,
                                             Passing& passing) {
    CTraceBase& trace = m_host.Tracer();
    UrlPlace place;
    const Win32Result converted = RequestPath(remotePath, place.path);
    if (!converted.Ok()) {
        m_host.Report(converted, "");
        return unique_hinternet();
    }
    place.secure = m_bSecure;
    place.host = m_facts.remoteAddress;
    place.port = m_facts.remotePort;
    for (int hop = 0;; ++hop) {
        DWORD error = ERROR_SUCCESS;
        unique_hinternet request = SendTo(place, remotePath, verb, headers, error);
        if (!request) {
            passing.transient = IsPassingError(error);
            return request;
        }
        long code = 0;
        if (!QueryStatus(request.get(), code) ||
            (code == HTTP_STATUS_PROXY_AUTH_REQ &&
             !LogInToProxy(request, place, remotePath, verb, headers, code))) {
            m_host.CloseHandle(request);
            return unique_hinternet();
        }
        if (!IsRedirect(code)) {
            m_host.MarkServerAnswered();
            if (statusCode)
                *statusCode = code;
            // A part is wanted only where a range was asked for.
            if (code != HTTP_STATUS_OK &&
                (code != HTTP_STATUS_PARTIAL_CONTENT || headers.empty())) {
                trace.Trace(TRACE_ERROR, "HttpSendRequest(%s)  STAUS = %d ERROR...",
                            remotePath.c_str(), static_cast<int>(code));
                passing.transient = code >= 500 || code == 429 || code == 408;
                if (passing.transient)
                    passing.retryAfterMs = RetryAfter(request.get());
                m_host.CloseHandle(request);
                return unique_hinternet();
            }
            trace.Trace(TRACE_INFO, "HttpSendRequest(%s)  STAUS = %d OK...", remotePath.c_str(),
                        static_cast<int>(code));
            return request;
        }
        // A redirect that is refused counts as a server not reached: what
        // answered is not where the list and the modules are.
        std::string location(2048, '\0');
        DWORD length = static_cast<DWORD>(location.size());
        UrlPlace next;
        const bool located =
            ::HttpQueryInfoA(request.get(), HTTP_QUERY_LOCATION, &location[0], &length, nullptr);
        location.resize(located ? length : 0);
        m_host.CloseHandle(request);
        const char* refusal = !located                                  ? "no Location"
                              : !ResolveRedirect(place, location, next) ? "not an HTTP URL"
                              : place.secure && !next.secure            ? "leaves TLS"
                              : hop == kMostHops                        ? "too many hops"
                                                                        : nullptr;
        if (refusal) {
            trace.Trace(TRACE_ERROR, "HttpSendRequest(%s) : ERROR, redirect refused (%s) : %d %s",
                        remotePath.c_str(), refusal, static_cast<int>(code),
                        WithoutUserInfo(location).c_str());
            return unique_hinternet();
        }
        trace.Trace(TRACE_INFO, "HttpSendRequest(%s) : redirected (%d) to %s://%s:%u%s",
                    remotePath.c_str(), static_cast<int>(code), next.secure ? "https" : "http",
                    next.host.c_str(), static_cast<unsigned>(next.port), next.path.c_str());
        place = next;
    }
}

unsigned long CHttpSession::RetryAfter(HINTERNET response) {
    char text[64] = {};
    DWORD length = sizeof(text) - 1;
    unsigned long ms = 0;
    if (!::HttpQueryInfoA(response, HTTP_QUERY_RETRY_AFTER, text, &length, nullptr) ||
        RetryAfterSeconds(text, ms))
        return ms;
    SYSTEMTIME date = {};
    length = sizeof(date);
    FILETIME then, now;
    if (!::HttpQueryInfoA(response, HTTP_QUERY_RETRY_AFTER | HTTP_QUERY_FLAG_SYSTEMTIME, &date,
                          &length, nullptr) ||
        !::SystemTimeToFileTime(&date, &then))
        return 0;
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG later = (ULONGLONG(then.dwHighDateTime) << 32) | then.dwLowDateTime;
    const ULONGLONG current = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100 ns units; a date past a day is as good as never.
    const ULONGLONG wait = later > current ? (later - current) / 10000 : 0;
    return wait > 86400000ULL ? 86400000UL : static_cast<unsigned long>(wait);
}

bool CHttpSession::QueryStatus(HINTERNET request, long& code) {
    char status[32] = {};
    DWORD length = sizeof(status);
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE, status, &length, nullptr)) {
        m_host.Report(Win32Result::Failed("HttpQueryInfo"), "");
        return false;
    }
    code = atol(status);
    return true;
}

void CHttpSession::SetProxyLogin(HINTERNET request, bool given) {
    // Given for one request and taken back after it: the library may keep
    // them for the whole session and answer any later 407 with them, a
    // direct server's too.
    const ProxySettings& proxy = m_facts.proxy;
    const std::string& name = given ? proxy.loginName : std::string();
    const std::string& password = given ? proxy.loginPassword : std::string();
    ::InternetSetOptionA(request, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(name.c_str()),
                         static_cast<DWORD>(name.size() + 1));
    ::InternetSetOptionA(request, INTERNET_OPTION_PROXY_PASSWORD,
                         const_cast<char*>(password.c_str()),
                         static_cast<DWORD>(password.size() + 1));
}

bool CHttpSession::LogInToProxy(unique_hinternet& request, const UrlPlace& place,
                                const std::string& remotePath, const char* verb,
                                const std::string& headers, long& code) {
    CTraceBase& trace = m_host.Tracer();
    if (!WentThroughProxy(request.get())) {
        // Whoever answered is no proxy of this pass: a server, a mirror or a
        // redirect's host reached directly gets no proxy login.
        trace.Trace(TRACE_ERROR,
                    "HttpSendRequest(%s) : ERROR, 407 from %s:%u, which is not a proxy (reached "
                    "directly): no proxy login given",
                    remotePath.c_str(), place.host.c_str(), static_cast<unsigned>(place.port));
        return false;
    }
    const ProxySettings& proxy = m_facts.proxy;
    if (!proxy.loginName.empty()) {
        if (place.secure) {
            // The proxy refused the tunnel: the handle cannot be sent again
            // (the library would send the request in plain text over the
            // proxy's connection), so a new one asks for the tunnel with the
            // login.
            m_host.CloseHandle(request);
            DWORD error = ERROR_SUCCESS;
            request = SendTo(place, remotePath, verb, headers, error, true);
            if (!request)
                return false;
        } else {
            // The library answers the proxy's challenge with these when the
            // request goes again, after the refusal's body.
            SetProxyLogin(request.get(), true);
            char ignored[4096];
            DWORD count = 0;
            while (::InternetReadFile(request.get(), ignored, sizeof(ignored), &count) && count)
                ;
            const BOOL sent = ::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0);
            const Win32Result failed = Win32Result::Failed("HttpSendRequest");
            SetProxyLogin(request.get(), false);
            if (!sent) {
                m_host.Report(failed, "");
                return false;
            }
        }
        if (!QueryStatus(request.get(), code))
            return false;
    }
    if (code != HTTP_STATUS_PROXY_AUTH_REQ)
        return true;
    // Not the server's answer: the pass did not get through to it.
    trace.Trace(TRACE_ERROR, "HttpSendRequest(%s) : ERROR, proxy %s wants a login (407), %s",
                remotePath.c_str(),
                proxy.address.empty() ? "(the system's)" : proxy.address.c_str(),
                proxy.loginName.empty() ? "none is configured" : "the one configured was refused");
    return false;
}

unique_hinternet CHttpSession::SendTo(const UrlPlace& place, const std::string& remotePath,
                                      const char* verb, const std::string& headers, DWORD& error,
                                      bool proxyLogin) {
    CTraceBase& trace = m_host.Tracer();
    const HINTERNET connection = ConnectionTo(place);
    if (!connection)
        return unique_hinternet();
    const char* acceptTypes[] = {"*/*", nullptr};
    unique_hinternet request(::HttpOpenRequestA(
        connection, verb, place.path.c_str(), nullptr, // the library's HTTP version
        nullptr,                                       // no referrer
        acceptTypes,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
            INTERNET_FLAG_NO_AUTO_REDIRECT | (place.secure ? INTERNET_FLAG_SECURE : 0),
        reinterpret_cast<DWORD_PTR>(&m_host)));
    if (!request) {
        m_host.Report(Win32Result::Failed("HttpOpenRequest"), "");
        return request;
    }
    trace.Trace(TRACE_INFO, "HttpOpenRequest(%s) OK...", remotePath.c_str());
    // Windows hands the root handle's time-outs down to the request; Wine's
    // library does not, and would wait for a stalled body forever.
    DWORD timeout = m_facts.timeoutSeconds * 1000;
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof(timeout));
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));

    // HTTP/1.0 caches know only the Pragma.
    const std::string sending = headers + (m_facts.MustRevalidate(remotePath)
                                               ? "Cache-Control: no-cache\r\nPragma: no-cache\r\n"
                                               : "");
    if (proxyLogin)
        SetProxyLogin(request.get(), true);
    const BOOL sent = ::HttpSendRequestA(request.get(), sending.empty() ? nullptr : sending.c_str(),
                                         static_cast<DWORD>(sending.size()), nullptr, 0);
    const Win32Result failed = Win32Result::Failed("HttpSendRequest");
    if (proxyLogin)
        SetProxyLogin(request.get(), false);
    if (!sent) {
        m_host.Report(failed, "");
        error = failed.Error();
        m_host.CloseHandle(request);
        return unique_hinternet();
    }
    trace.Trace(TRACE_INFO, "HttpSendRequest(%s) OK...", remotePath.c_str());
    return request;
}

HINTERNET CHttpSession::ConnectionTo(const UrlPlace& place) {
    if (place.secure == m_bSecure && place.port == m_facts.remotePort &&
        _stricmp(place.host.c_str(), m_facts.remoteAddress.c_str()) == 0)
        return m_host.Connection();
    std::string key = place.host;
    for (char& c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    key = (place.secure ? "https://" : "http://") + key + ":" + std::to_string(place.port);
    unique_hinternet& connection = m_hops[key];
    if (!connection) {
        connection.reset(::InternetConnectA(m_host.Root(), place.host.c_str(), place.port,
                                            nullptr, // no login to a host a redirect named
                                            nullptr, INTERNET_SERVICE_HTTP, 0,
                                            reinterpret_cast<DWORD_PTR>(&m_host)));
        if (!connection)
            m_host.Report(Win32Result::Failed("InternetConnect"), "");
    }
    return connection.get();
}

void CHttpSession::CloseConnections() {
    for (auto it = m_hops.begin(); it != m_hops.end();) {
        m_host.CloseHandle(it->second);
        it = it->second ? std::next(it) : m_hops.erase(it);
    }
}
