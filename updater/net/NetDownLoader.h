#pragma once
// The updater's FTP/HTTP(S) client: one session to the update server, one cached
// remote file handle, remote size and time, and the transfer of a remote
// file's body into a local file or any other sink.

#include "DownloadProgress.h"
#include "DownloadSink.h"
#include "TraceBase.h"
#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>
#include <wininet.h>
#include <ctime>
#include <functional>
#include <string>

// Protocol codes are WinINet's own service numbers. HTTPS, HTTP over TLS, has
// no service of its own and takes WinINet's number for the scheme.
enum {
    PROTOCOL_FTP = INTERNET_SERVICE_FTP,
    PROTOCOL_HTTP = INTERNET_SERVICE_HTTP,
    PROTOCOL_HTTPS = INTERNET_SCHEME_HTTPS
};

class CNetDownLoader : public CTraceBase {
public:
    CNetDownLoader();
    ~CNetDownLoader() override;
    CNetDownLoader(const CNetDownLoader&) = delete;
    CNetDownLoader& operator=(const CNetDownLoader&) = delete;

    void WriteTrace(int level, const char* format, va_list args) override;

    // Who shows download progress; set once by the owner.
    void SetOwner(IDownloadProgress* owner) { m_pOwner = owner; }
    // Seconds the internet library waits to connect, send or receive before a
    // step fails; a stalled server must not hold the pass forever.
    void SetTimeout(DWORD seconds) { m_dwTimeoutSeconds = seconds; }
    // FTP data connections made by the client (passive mode) instead of the
    // server; from the next Connect on.
    void SetPassiveMode(bool passive) { m_bPassive = passive; }

    int SetLoginInfo(std::string remoteAddress, int protocol, int port, std::string loginName,
                     std::string loginPassword);
    int Connect();
    void Disconnect();
    unsigned short RemotePort() const { return m_nRemotePort; }
    // Whether the server answered since the last Connect: an FTP login, or an
    // HTTP response of any status. An HTTP connection is made by the first
    // request, so only then does an unreachable server show.
    bool ServerAnswered() const { return m_bServerAnswered; }
    HINTERNET RootHandle() const { return m_hInternet.get(); }

    int GetRemoteFileSize(std::string remotePath, DWORD* size);
    int GetRemoteFileTime(std::string remotePath, time_t* time);
    // Into the local file, which takes the target's place only when the whole
    // body arrived.
    int DownloadFile(std::string remotePath, std::string localPath, DWORD expectedSize);
    // The same steps up to the swap: the body into a new partial file beside
    // the local path (its folders made), closed and held when the whole body
    // arrived, and, with an exact size of 0 or more, exactly that many bytes
    // (the transfer stops past it). The caller puts it in place.
    int ReceiveFile(const std::string& remotePath, const std::string& localPath, DWORD expectedSize,
                    long long exactSize, CPartialFile& file);
    // The body into the sink. Progress is shown under the name given when the
    // expected size is not 0.
    int ReadRemoteFile(const std::string& remotePath, IDownloadSink& sink, DWORD expectedSize,
                       const std::string& progressName);

private:
    int _IsRemoteFileOpened(std::string remotePath);
    int _CreateLocalFolder(const char* folder);
    void _ReportError(std::string function, std::string detail);
    bool IsConnected() const { return m_hInternet && m_hConnect; }
    bool IsHttp() const { return m_nProtocol == PROTOCOL_HTTP || m_nProtocol == PROTOCOL_HTTPS; }
    // The one error report of the downloader, for a failure handed back.
    void Report(const Win32Result& failure);
    void _CloseInternetHandle(unique_hinternet& handle);
    unique_hinternet _OpenFtpFile(std::string remotePath);
    unique_hinternet _OpenHttpFile(std::string remotePath);
    // The response of one request, status 200 only; statusCode gets the
    // status when one arrived.
    unique_hinternet SendHttpRequest(const std::string& remotePath, const char* verb,
                                     long* statusCode = nullptr);
    // Lists one FTP file (closing a running transfer first); 0 after the report.
    int FindFtpFile(const std::string& remotePath, WIN32_FIND_DATAA* found);
    // A call that makes an FTP data connection, bounded by the time-out: the
    // library times neither the connect nor the accept. A call still blocked
    // then gives the connection up; null with the report either way.
    unique_hinternet MakeFtpDataConnection(const char* function, std::function<HINTERNET()> call);
    // One command on the FTP control connection: false when no reply came
    // (the last error says why), else the reply's code and text.
    bool SendFtpCommand(const std::string& command, int& code, std::string& text);
    // Asks the server SIZE or MDTM of a file (closing a running transfer
    // first): 1 with the answer, 0 after the report (a missing file too), -1
    // when it knows no such command, and this connection lists files from then.
    int AskFtpServer(const char* command, const std::string& remotePath, const std::string& context,
                     std::string& answer);
    int FtpFileSize(const std::string& remotePath, const std::string& context, DWORD* size);
    // The handle whose headers answer a query (the connection for FTP). Given
    // headRequest, a path whose GET is not open is asked with a HEAD request of
    // its own, which the caller owns.
    HINTERNET BeginRemoteQuery(const std::string& remotePath, const std::string& context,
                               unique_hinternet* headRequest = nullptr);
    int FtpFileTime(const std::string& remotePath, const std::string& context, time_t* time);
    int FtpListedFileTime(const std::string& remotePath, const std::string& context, time_t* time);
    int HttpFileTime(HINTERNET response, const std::string& context, time_t* time);
    // Reads the open remote file to its end into the sink, with progress; the
    // handle, read from, is closed whatever happens.
    int ReceiveInto(const std::string& context, IDownloadSink& sink, DWORD expectedSize,
                    const std::string& progressName);
    // Fewest body bytes that make the transfer complete.
    DWORD ExpectedBodySize(DWORD expectedSize);

    std::string m_strRemoteAddress;
    int m_nProtocol;
    unsigned short m_nRemotePort;
    std::string m_strLoginName;
    std::string m_strLoginPassword;
    unique_hinternet m_hInternet;
    unique_hinternet m_hConnect;
    unique_hinternet m_hRemoteFile;
    std::string m_strOpenedRemoteFile;
    IDownloadProgress* m_pOwner;
    DWORD m_dwTimeoutSeconds;
    bool m_bPassive;
    // Decided once per connection: SIZE and MDTM refused (500 or 502), so
    // sizes and times come from folder listings.
    bool m_bFtpListing;
    // TYPE I sent: some servers answer SIZE only for binary transfers.
    bool m_bFtpBinary;
    bool m_bServerAnswered = false;
};
