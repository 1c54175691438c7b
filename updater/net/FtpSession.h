#pragma once
// The FTP dialect over the downloader's connection: files opened for binary
// reading, sizes and times asked with SIZE and MDTM (TYPE I sent first), from
// the folder listing only where the server knows neither, and every call that
// makes a data connection bounded by the time-out. Names go as the list
// writes them: the library sends every FTP name through the ANSI code page.
// Logins and data connections that fail for a passing reason are tried again
// under the pass's retry budget.

#include "RemoteProtocol.h"

#include <functional>
#include <string>

class CFtpSession : public IRemoteProtocol {
public:
    CFtpSession(IProtocolHost& host, const SessionFacts& facts, bool passive)
        : m_host(host), m_facts(facts), m_bPassive(passive) {}

    DWORD Service() const override { return INTERNET_SERVICE_FTP; }
    DWORD ConnectFlags() const override { return m_bPassive ? INTERNET_FLAG_PASSIVE : 0; }
    bool AnswersOnConnect() const override { return true; }
    bool UsesProxy() const override { return false; }
    // The login's reply: a busy server (421), or a connection reset or
    // timed out on the way.
    bool ConnectMayPass(const Win32Result& failure) override;
    bool SizeFromResponse() const override { return false; }

    unique_hinternet OpenFile(const std::string& remotePath) override;
    // The copy is named by the file's SIZE (the size query's answer when it
    // was handed on) and MDTM; the kept bytes are skipped with REST.
    unique_hinternet OpenFileFrom(const std::string& remotePath, unsigned long long offset,
                                  const std::string& validator, const std::string& sizeAnswer,
                                  RemoteBody& body) override;
    bool ServesRanges() const override { return false; }
    unique_hinternet OpenRange(const std::string&, unsigned long long,
                               unsigned long long) override {
        return unique_hinternet();
    }
    // SIZE's answer goes to sizeAnswer.
    Win32Result FileSize(HINTERNET, const std::string& remotePath, const std::string& context,
                         DWORD* size, std::string* sizeAnswer) override;
    Win32Result FileTime(HINTERNET, const std::string& remotePath, const std::string& context,
                         time_t* time, unique_hinternet& opened) override;
    DWORD LeastBodySize(HINTERNET, DWORD expectedSize) override { return expectedSize; }

private:
    struct Reply {
        int code = 0;
        std::string text;
    };
    // A call that makes a data connection, bounded by the time-out: the
    // library times neither the connect nor the accept. A call still blocked
    // then gives the connection up; null after the report either way.
    // Tried again while its failure may pass, unless retried is false.
    unique_hinternet MakeDataConnection(const char* function,
                                        const std::function<HINTERNET()>& call,
                                        Win32Result* failure = nullptr, bool retried = true);
    unique_hinternet OpenTransfer(const std::string& remotePath, bool retried);
    // One command on the control connection; a failure when no reply came.
    Win32Result SendCommand(const std::string& command, Reply& reply);
    // SIZE or MDTM of a file, no transfer running. A failure after its
    // report (a missing file too); else the reply: 213, or 500 or 502 when
    // the server knows no such command (traced, and this connection lists
    // files from then).
    Win32Result Ask(const char* command, const std::string& remotePath, const std::string& context,
                    Reply& reply);
    // One file's listing entry, no transfer running; a failure after the
    // report.
    Win32Result FindFile(const std::string& remotePath, const std::string& context,
                         WIN32_FIND_DATAA* found);
    Win32Result ListedFileTime(const std::string& remotePath, const std::string& context,
                               time_t* time);
    // After the server refused a name: one beyond ASCII went in the ANSI code
    // page, which a server naming its files in UTF-8 does not find. Said once
    // a connection.
    void ExplainRefusedName(const std::string& remotePath, const std::string& context,
                            const Win32Result& failure);

    IProtocolHost& m_host;
    const SessionFacts m_facts;
    const bool m_bPassive;
    // SIZE and MDTM refused (500 or 502), so sizes and times come from
    // folder listings.
    bool m_bListing = false;
    // TYPE I sent: some servers answer SIZE only for binary transfers.
    bool m_bBinary = false;
    bool m_bNameExplained = false;
};
