#pragma once
// HTTP and HTTPS over the downloader's connection: a remote file is the
// response to a GET, status 200 only; its size and time come from that
// response's headers, so a module's size query and download share one GET.
// Redirects are followed here, each hop checked: to another host or path on
// a connection of its own, at most five hops, never from HTTPS to another
// scheme.

#include "NetText.h"
#include "RemoteProtocol.h"

#include <map>

class CHttpSession : public IRemoteProtocol {
public:
    // A validator longer than mostValidatorBytes names no copy.
    CHttpSession(IProtocolHost& host, const SessionFacts& facts, bool secure,
                 size_t mostValidatorBytes)
        : m_host(host), m_facts(facts), m_bSecure(secure),
          m_nMostValidatorBytes(mostValidatorBytes) {}

    DWORD Service() const override { return INTERNET_SERVICE_HTTP; }
    DWORD ConnectFlags() const override { return 0; }
    bool AnswersOnConnect() const override { return false; }
    bool UsesProxy() const override { return true; }
    bool SizeFromResponse() const override { return true; }

    unique_hinternet OpenFile(const std::string& remotePath) override;
    unique_hinternet OpenFileFrom(const std::string& remotePath, unsigned long long offset,
                                  const std::string& validator, const std::string& sizeAnswer,
                                  RemoteBody& body) override;
    bool ServesRanges() const override { return true; }
    unique_hinternet OpenRange(const std::string& remotePath, unsigned long long offset,
                               unsigned long long length) override;
    Win32Result FileSize(HINTERNET response, const std::string& remotePath,
                         const std::string& context, DWORD* size, std::string* sizeAnswer) override;
    Win32Result FileTime(HINTERNET response, const std::string& remotePath,
                         const std::string& context, time_t* time,
                         unique_hinternet& opened) override;
    DWORD LeastBodySize(HINTERNET file, DWORD expectedSize) override;
    void CloseConnections() override;

private:
    // Whether a failed request may succeed when tried again, and when.
    struct Passing {
        bool transient = false;
        unsigned long retryAfterMs = 0;
    };
    // The response of one request, status 200 only (or 206 to a range the
    // headers ask for), tried again while a failure may pass; statusCode
    // gets the status when one arrived.
    unique_hinternet SendRequest(const std::string& remotePath, const char* verb,
                                 long* statusCode = nullptr, const std::string& headers = "");
    // One try, its redirects followed.
    unique_hinternet SendFollowing(const std::string& remotePath, const char* verb,
                                   long* statusCode, const std::string& headers, Passing& passing);
    // What names the response's copy of the file for an If-Range: its ETag
    // when strong, else its Last-Modified; empty when neither will do.
    std::string Validator(HINTERNET response);
    // The response's Retry-After (seconds or a date) in milliseconds; 0: none.
    unsigned long RetryAfter(HINTERNET response);
    // The response's status; false after the report.
    bool QueryStatus(HINTERNET request, long& code);
    // The configured proxy login set on the request, or taken off it.
    void SetProxyLogin(HINTERNET request, bool given);
    // A 407 answered with the configured login, only where the request went
    // through a proxy: sent again (over HTTPS, a new request for the tunnel),
    // its new status in code. False after the report when it came from no
    // proxy, none is configured or the proxy still refuses.
    bool LogInToProxy(unique_hinternet& request, const UrlPlace& place,
                      const std::string& remotePath, const char* verb, const std::string& headers,
                      long& code);
    // One request to one place, with the proxy login set for its sending
    // when asked; null after the report. error gets the sending's when that
    // failed.
    unique_hinternet SendTo(const UrlPlace& place, const std::string& remotePath, const char* verb,
                            const std::string& headers, DWORD& error, bool proxyLogin = false);
    // The connection to a place: the downloader's own for its server, else
    // one kept per place that a redirect led to (no login sent there).
    HINTERNET ConnectionTo(const UrlPlace& place);

    IProtocolHost& m_host;
    const SessionFacts m_facts;
    // The server's certificate must chain to a root this machine trusts and
    // name the host; nothing turns either check off.
    const bool m_bSecure;
    const size_t m_nMostValidatorBytes;
    std::map<std::string, unique_hinternet> m_hops;
};
