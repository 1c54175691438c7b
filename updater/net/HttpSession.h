#pragma once
// HTTP and HTTPS over the downloader's connection: a remote file is the
// response to a GET, status 200 only; its size and time come from that
// response's headers, so a module's size query and download share one GET.

#include "RemoteProtocol.h"

class CHttpSession : public IRemoteProtocol {
public:
    CHttpSession(IProtocolHost& host, bool secure) : m_host(host), m_bSecure(secure) {}

    DWORD Service() const override { return INTERNET_SERVICE_HTTP; }
    DWORD ConnectFlags() const override { return 0; }
    bool AnswersOnConnect() const override { return false; }

    unique_hinternet OpenFile(const std::string& remotePath) override;
    int FileSize(const std::string& remotePath, const std::string& context, DWORD* size) override;
    int FileTime(const std::string& remotePath, const std::string& context, time_t* time) override;
    DWORD LeastBodySize(HINTERNET file, DWORD expectedSize) override;

private:
    // The response of one request, status 200 only; statusCode gets the
    // status when one arrived.
    unique_hinternet SendRequest(const std::string& remotePath, const char* verb,
                                 long* statusCode = nullptr);

    IProtocolHost& m_host;
    // The server's certificate must chain to a root this machine trusts and
    // name the host; nothing turns either check off.
    const bool m_bSecure;
};
