#pragma once
// The seam between the downloader and the protocol its server speaks: FTP
// (CFtpSession) or HTTP(S) (CHttpSession), chosen once per connection. The
// downloader keeps the connection and the one cached remote file; a protocol
// unit asks it for them through IProtocolHost and hands back what it opens.

#include "RetryBudget.h"
#include "TraceBase.h"
#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

// An explicit proxy for HTTP(S), and the login given to a proxy that asks
// for one (407).
struct ProxySettings {
    std::string address; // "host:port"; empty: the system's settings
    std::string bypass;  // hosts reached without it
    std::string loginName;
    std::string loginPassword;
};

// What the server gives of a module's file once it is open for reading.
struct RemoteBody {
    // The file's first byte sent: the kept bytes' count when the server
    // continues them, else 0.
    unsigned long long offset = 0;
    // Bytes announced from there; -1 when none were (the body ends with the
    // data).
    long long length = -1;
    // Names this copy of the file, for a later continuation; empty when
    // nothing does.
    std::string validator;
};

// What a connection is made with; the protocol unit made for it keeps a copy.
struct SessionFacts {
    // The server the connection was made to.
    std::string remoteAddress;
    unsigned short remotePort = 0;
    ProxySettings proxy;
    DWORD timeoutSeconds = 30;
    // The remote paths a cache on the way must ask the server about before
    // it answers for them.
    std::vector<std::string> revalidated;
    bool MustRevalidate(const std::string& remotePath) const {
        return std::find(revalidated.begin(), revalidated.end(), remotePath) != revalidated.end();
    }
};

// What the protocol unit asks of the downloader: its connection, its one
// error report and the pass's retry budget. The remote file it opens is
// handed back, never cached through here.
class IProtocolHost {
public:
    virtual HINTERNET Connection() const = 0;
    virtual HINTERNET Root() const = 0;
    virtual CTraceBase& Tracer() = 0;
    // The one error report, for a failure already taken from its call.
    virtual void Report(const Win32Result& failure, const std::string& detail) = 0;
    // Closes a handle the unit owns; one that will not close is kept and reported.
    virtual void CloseHandle(unique_hinternet& handle) = 0;
    // A call given up still holds the connection: it is closed, and the next
    // Connect makes another.
    virtual void GiveUpConnection() = 0;
    virtual void MarkServerAnswered() = 0;
    // The waits before requests are tried again: one budget for the pass,
    // whichever of its servers they are spent on.
    virtual CRetryBudget& Retries() = 0;

protected:
    ~IProtocolHost() = default;
};

class IRemoteProtocol {
public:
    virtual ~IRemoteProtocol() = default;

    // The library's service number and connection flags for InternetConnect.
    virtual DWORD Service() const = 0;
    virtual DWORD ConnectFlags() const = 0;
    // Whether the connection itself reaches the server (an FTP login); an
    // HTTP connection is made by the first request.
    virtual bool AnswersOnConnect() const = 0;
    // Whether an explicit proxy carries it: WinINet sends FTP through an
    // HTTP proxy only for whole URLs, which the downloader does not use.
    virtual bool UsesProxy() const = 0;
    // Whether a connection that failed to be made may be made when tried
    // again (a server busy at its login); asked right after the failure.
    virtual bool ConnectMayPass(const Win32Result&) { return false; }

    // Whether a size query reads the headers of the file's own response,
    // which the download then reads; else it asks beside the file, and the
    // connection's running transfer is closed first (FTP carries one at a
    // time).
    virtual bool SizeFromResponse() const = 0;

    // The remote file ready to read: an FTP transfer, or a GET whose status
    // was 200; null after the report.
    virtual unique_hinternet OpenFile(const std::string& remotePath) = 0;
    // The same from the kept bytes of the copy the validator names on (no
    // bytes: from the start). A server that no longer has that copy, or
    // cannot continue it, sends the whole file, and body.offset says so.
    // sizeAnswer: what the size query of the same file just learnt (empty:
    // nothing), so the server is not asked twice.
    virtual unique_hinternet OpenFileFrom(const std::string& remotePath, unsigned long long offset,
                                          const std::string& validator,
                                          const std::string& sizeAnswer, RemoteBody& body) = 0;
    // Whether OpenRange can be asked at all (HTTP); FTP gives no byte ranges.
    virtual bool ServesRanges() const = 0;
    // Exactly the bytes [offset, offset + length) of the file, as the
    // server's answer to a range request (206 with that range); null after
    // the report or trace when it answers anything else (a 200 too).
    virtual unique_hinternet OpenRange(const std::string& remotePath, unsigned long long offset,
                                       unsigned long long length) = 0;
    // Connected already; the context begins every trace line. response: the
    // file's open response where the size comes from it, else null.
    // sizeAnswer gets what OpenFileFrom may be handed. A failure after its
    // report or trace, nothing stored.
    virtual Win32Result FileSize(HINTERNET response, const std::string& remotePath,
                                 const std::string& context, DWORD* size,
                                 std::string* sizeAnswer) = 0;
    // response: the file's open response when there is one, else null (the
    // connection's running transfer closed). A unit that had to open the
    // file's own response for it hands it back in opened.
    virtual Win32Result FileTime(HINTERNET response, const std::string& remotePath,
                                 const std::string& context, time_t* time,
                                 unique_hinternet& opened) = 0;
    // Fewest body bytes of the open file that make its transfer complete.
    virtual DWORD LeastBodySize(HINTERNET file, DWORD expectedSize) = 0;
    // Closes what the unit opened besides the connection; the remote file
    // is closed before.
    virtual void CloseConnections() {}
};

// The unit for a protocol code; null for a code that is no protocol.
std::unique_ptr<IRemoteProtocol> MakeRemoteProtocol(int protocol, IProtocolHost& host,
                                                    const SessionFacts& facts, bool passive);

// The wait before the retry'th try again of a step, out of the pass's
// budget: traced as "<step> : trying again in <ms> ms (<retry>)" and slept.
// False, with no wait, when the budget gives none.
bool WaitToTryAgain(CRetryBudget& budget, unsigned retry, unsigned long retryAfterMs,
                    CTraceBase& trace, const std::string& step);
