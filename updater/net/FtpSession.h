#pragma once
// The FTP dialect over the downloader's connection: files opened for binary
// reading, sizes and times asked with SIZE and MDTM (TYPE I sent first), from
// the folder listing only where the server knows neither, and every call that
// makes a data connection bounded by the time-out. Names go as the list
// writes them: the library sends every FTP name through the ANSI code page.

#include "RemoteProtocol.h"

#include <functional>
#include <string>
#include <utility>

class CFtpSession : public IRemoteProtocol {
public:
    CFtpSession(IProtocolHost& host, bool passive) : m_host(host), m_bPassive(passive) {}

    DWORD Service() const override { return INTERNET_SERVICE_FTP; }
    DWORD ConnectFlags() const override { return m_bPassive ? INTERNET_FLAG_PASSIVE : 0; }
    bool AnswersOnConnect() const override { return true; }
    bool UsesProxy() const override { return false; }

    unique_hinternet OpenFile(const std::string& remotePath) override;
    // The copy is named by the file's SIZE and MDTM, asked first; the kept
    // bytes are skipped with REST.
    unique_hinternet OpenFileFrom(const std::string& remotePath, unsigned long long offset,
                                  const std::string& validator, RemoteBody& body) override;
    int FileSize(const std::string& remotePath, const std::string& context, DWORD* size) override;
    int FileTime(const std::string& remotePath, const std::string& context, time_t* time) override;
    DWORD LeastBodySize(HINTERNET, DWORD expectedSize) override { return expectedSize; }

private:
    struct Reply {
        int code = 0;
        std::string text;
    };
    // A call that makes a data connection, bounded by the time-out: the
    // library times neither the connect nor the accept. A call still blocked
    // then gives the connection up; null after the report either way.
    unique_hinternet MakeDataConnection(const char* function, std::function<HINTERNET()> call,
                                        Win32Result* failure = nullptr);
    // One command on the control connection; a failure when no reply came.
    Win32Result SendCommand(const std::string& command, Reply& reply);
    // SIZE or MDTM of a file (a running transfer closed first). A failure
    // after its report (a missing file too); else the reply, which is 500 or
    // 502 when the server knows no such command, and this connection lists
    // files from then.
    Win32Result Ask(const char* command, const std::string& remotePath, const std::string& context,
                    Reply& reply);
    // One file's listing entry (a running transfer closed first); 0 after
    // the report.
    int FindFile(const std::string& remotePath, const std::string& context,
                 WIN32_FIND_DATAA* found);
    int ListedFileTime(const std::string& remotePath, const std::string& context, time_t* time);
    // After the server refused a name: one beyond ASCII went in the ANSI code
    // page, which a server naming its files in UTF-8 does not find. Said once
    // a connection.
    void ExplainRefusedName(const std::string& remotePath, const std::string& context,
                            const Win32Result& failure);

    IProtocolHost& m_host;
    const bool m_bPassive;
    // SIZE and MDTM refused (500 or 502), so sizes and times come from
    // folder listings.
    bool m_bListing = false;
    // TYPE I sent: some servers answer SIZE only for binary transfers.
    bool m_bBinary = false;
    bool m_bNameExplained = false;
    // The path and SIZE answer of the last size query, until the next
    // command: the opening of that file right after asks no second time.
    std::pair<std::string, std::string> m_sizeAsked;
};
