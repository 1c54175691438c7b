#pragma once
// The updater's FTP/HTTP client: one session to the update server, one cached
// remote file handle, remote size and time, and file download with progress.

#include "DownloadCheck.h"
#include "DownloadProgress.h"
#include "TraceBase.h"

#include <windows.h>
#include <wininet.h>
#include <ctime>
#include <string>

// Protocol codes are WinINet's own service numbers.
enum { PROTOCOL_FTP = INTERNET_SERVICE_FTP, PROTOCOL_HTTP = INTERNET_SERVICE_HTTP };

class CNetDownLoader : public CTraceBase {
public:
    CNetDownLoader();
    ~CNetDownLoader() override;

    void WriteTrace(int level, const char* format, va_list args) override;

    int SetLoginInfo(std::string remoteAddress, int protocol, int port, std::string loginName,
                     std::string loginPassword);
    int Connect();
    void Disconnect();

    int GetRemoteFileSize(std::string remotePath, DWORD* size);
    int GetRemoteFileTime(std::string remotePath, time_t* time);
    // With a check, the file replaces its target only when the check accepts
    // the bytes received.
    int DownloadFile(std::string remotePath, std::string localPath, DWORD expectedSize,
                     IDownloadCheck* check = nullptr);

    // Seconds the internet library waits to connect, send or receive before a
    // step fails; a stalled server must not hold the pass forever.
    void SetTimeout(DWORD seconds) { m_dwTimeoutSeconds = seconds; }

    std::string m_strRemoteAddress;
    int m_nProtocol;
    unsigned short m_nRemotePort;
    std::string m_strLoginName;
    std::string m_strLoginPassword;
    HINTERNET m_hInternet;
    HINTERNET m_hConnect;
    HINTERNET m_hRemoteFile;
    std::string m_strOpenedRemoteFile;
    IDownloadProgress* m_pOwner;

    // Internal steps; public so the tests can drive them one at a time.
    int _IsRemoteFileOpened(std::string remotePath);
    HINTERNET _OpenFtpFile(std::string remotePath);
    HINTERNET _OpenHttpFile(std::string remotePath);
    int _CreateLocalFolder(const char* folder);
    void _CloseInternetHandle(HINTERNET& handle);
    void _ReportError(std::string function, std::string detail);

private:
    bool IsConnected() const { return m_hInternet && m_hConnect; }
    // Lists one FTP file (closing a running transfer first); 0 after the report.
    int _FindFtpFile(const std::string& remotePath, WIN32_FIND_DATAA* found);
    // The handle whose headers answer a query (the connection for FTP). Given
    // headRequest, a path whose GET is not open is asked with a HEAD request of
    // its own, left there for the caller to close.
    HINTERNET _BeginRemoteQuery(const std::string& remotePath, const std::string& context,
                                HINTERNET* headRequest = nullptr);
    // The response of one request, status 200 only; statusCode gets the
    // status when one arrived.
    HINTERNET _SendHttpRequest(const std::string& remotePath, const char* verb,
                               long* statusCode = nullptr);
    int _FtpFileTime(const std::string& remotePath, const std::string& context, time_t* time);
    int _HttpFileTime(HINTERNET response, const std::string& context, time_t* time);
    // Fewest body bytes that make the download complete.
    DWORD _ExpectedBodySize(DWORD expectedSize);

    DWORD m_dwTimeoutSeconds;
};
