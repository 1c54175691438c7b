#pragma once
// The updater's FTP/HTTP(S) client: one session to the update server, one cached
// remote file handle, remote size and time, and the transfer of a remote
// file's body into a local file or any other sink.

#include "DownloadProgress.h"
#include "DownloadSink.h"
#include "KeptPartial.h"
#include "Protocol.h"
#include "RemoteProtocol.h"
#include "TraceBase.h"
#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>
#include <wininet.h>
#include <algorithm>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CNetDownLoader : public CTraceBase, private IProtocolHost {
public:
    CNetDownLoader();
    ~CNetDownLoader() override;
    CNetDownLoader(const CNetDownLoader&) = delete;
    CNetDownLoader& operator=(const CNetDownLoader&) = delete;

    void WriteTrace(int level, const char* format, va_list args) override;

    // Who shows download progress; set once by the owner.
    void SetOwner(IDownloadProgress* owner) { m_pOwner = owner; }
    // Seconds the internet library waits to connect, send or receive before a
    // step fails; a stalled server must not hold the pass forever. From the
    // next Connect on.
    void SetTimeout(DWORD seconds) { m_settings.timeoutSeconds = seconds; }
    // FTP data connections made by the client (passive mode) instead of the
    // server; from the next Connect on.
    void SetPassiveMode(bool passive) { m_bPassive = passive; }
    // From the next Connect on. FTP never goes through an explicit proxy:
    // the library sends FTP through an HTTP proxy only for whole URLs.
    void SetProxy(const ProxySettings& proxy) { m_settings.proxy = proxy; }
    // The remote paths a caching proxy must check with the server each time
    // (the list and its signature, which must be current and go together);
    // every other file stays cacheable.
    void SetRevalidated(std::vector<std::string> remotePaths) {
        m_settings.revalidated = std::move(remotePaths);
    }

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
    // A module's remote file as its size query found it, handed to its
    // download: the response the query opened (read by the download when it
    // is still the cached one) and the kept bytes that response continues.
    struct RemoteModule {
        std::string remotePath, localPath;
        long long listedSize = -1;
        KeptPart asked;
        bool opened = false;
        RemoteBody body;
        // What the query learnt that the opening need not ask again.
        std::string sizeAnswer;
    };
    // The module's size, asked as GetRemoteFileSize asks it; over HTTP the
    // question is the module's own GET, which continues what an earlier
    // pass kept of it (Range and If-Range), and the size is then the whole
    // module's. 0 after the trace; 0 in size: a body of no announced length.
    int AskModuleSize(RemoteModule& module, DWORD* size);
    // A module up to the swap: its body into a partial file beside the local
    // path (its folders made), closed and held when the whole body arrived;
    // the caller puts it in place. The response the size query opened is
    // read when it is still open, else the remote file is opened now; the
    // partial file is opened after the remote one answered. A partial file
    // an earlier pass kept for this module is continued when the server
    // still has the same copy (HTTP: Range and If-Range with the copy's ETag
    // or Last-Modified; FTP: REST after the same SIZE and MDTM), else the
    // file is received from its start; a transfer that breaks keeps what
    // arrived for the next pass. With a listed size of 0 or more, exactly
    // that many bytes (the transfer stops past it); without one, the body's
    // own length, or at most kMostUnsizedBytes when it announces none. size
    // gets the file's bytes. Progress is shown in bytes alone when the size
    // is not known. The module's query is used up: a second call opens anew.
    int ReceiveFile(RemoteModule& module, CPartialFile& file, unsigned long long* size);
    // As much as the transfer's byte counts and the size query hold: no
    // module with a length can be larger either.
    static const unsigned long long kMostUnsizedBytes = 0xFFFFFFFFull;
    // The body into the sink. Progress is shown under the name given when the
    // expected size is not 0.
    int ReadRemoteFile(const std::string& remotePath, IDownloadSink& sink, DWORD expectedSize,
                       const std::string& progressName);
    // Whether the server's protocol gives byte ranges of a file (HTTP).
    bool ServesRanges() const { return m_pProtocol && m_pProtocol->ServesRanges(); }
    // Exactly the bytes [offset, offset + length) of the remote file into the
    // sink, as one range request; 0 after the trace when the server answers
    // anything else or the transfer breaks. Progress is shown against the
    // total, from done on, under the name (shown when it is not empty).
    int ReadRemoteRange(const std::string& remotePath, unsigned long long offset,
                        unsigned long long length, IDownloadSink& sink,
                        const std::string& progressName, DWORD total, DWORD done);

private:
    int _IsRemoteFileOpened(std::string remotePath);
    // The cached remote file's common steps around the protocol's opener.
    unique_hinternet _OpenRemoteFile(std::string remotePath);
    int _CreateLocalFolder(const char* folder);
    // Right after the platform call that failed, while its error is the last one.
    void _ReportError(std::string function, std::string detail);
    // The same report for a failure handed back with its error.
    void ReportFailure(const Win32Result& failure, const std::string& detail = "");
    void _CloseInternetHandle(unique_hinternet& handle);
    bool IsConnected() const { return m_hInternet && m_hConnect; }
    bool IsOpenFor(const std::string& remotePath) const;
    // The connected state for a query, traced under the context when missing.
    bool CheckConnected(const std::string& context);
    // What the owner is shown of a transfer.
    struct Progress {
        bool shown = false;
        DWORD total = 0; // 0: not known, bytes alone
        DWORD done = 0;  // bytes of the file before the body's first
        std::string name;
    };
    // How a transfer ended: whole, broken on the way (a read failed or the
    // data ended early), or refused by the sink.
    enum class Transfer { Whole, Broken, Refused };
    // Reads the open remote file to its end into the sink, with progress; the
    // handle, read from, is closed whatever happens. Fewer bytes than the
    // least size is an early end. received gets the body's bytes.
    Transfer ReceiveInto(const std::string& context, IDownloadSink& sink, const Progress& progress,
                         unsigned long long leastSize, unsigned long long* received = nullptr);
    // The kept bytes of the module that its remote file is asked to
    // continue from: none when they fill its listed size or more, or were
    // kept whole once checked (no server continues those).
    KeptPart KeptToContinue(const RemoteModule& module) const;
    // Every open of the cached remote file: the one before closed and its
    // path forgotten first, the path written back with a usable handle only.
    bool OpenIntoCache(const std::string& remotePath,
                       const std::function<unique_hinternet()>& open);
    // The module's remote file opened into the cache, from the kept bytes
    // on; false after the traces.
    bool OpenModuleFile(const RemoteModule& module, const KeptPart& asked,
                        const std::string& sizeAnswer, RemoteBody& body);
    // A size query as GetRemoteFileSize makes it; open makes the response
    // the size is read from, when the protocol reads it from one.
    int AskSize(const std::string& remotePath, const std::function<bool()>& open, DWORD* size,
                std::string* answer);
    // The local path's folders made; 0 after the trace.
    int MakeLocalFolder(const std::string& context, const std::string& localPath);
    // A partial file that did not open, traced; 0.
    int LocalFileNotOpened(const std::string& context, const std::string& localPath,
                           const Win32Result& failure);

    // What the protocol unit asks of the downloader.
    HINTERNET Connection() const override { return m_hConnect.get(); }
    HINTERNET Root() const override { return m_hInternet.get(); }
    CTraceBase& Tracer() override { return *this; }
    void Report(const Win32Result& failure, const std::string& detail) override {
        ReportFailure(failure, detail);
    }
    void CloseHandle(unique_hinternet& handle) override { _CloseInternetHandle(handle); }
    void GiveUpConnection() override { _CloseInternetHandle(m_hConnect); }
    void MarkServerAnswered() override { m_bServerAnswered = true; }
    CRetryBudget& Retries() override { return m_retries; }

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
    bool m_bPassive;
    // The proxy, the time-out and the paths revalidated, for the next Connect.
    SessionFacts m_settings;
    // The server's protocol, made anew by every Connect.
    std::unique_ptr<IRemoteProtocol> m_pProtocol;
    bool m_bServerAnswered = false;
    CRetryBudget m_retries;
};
