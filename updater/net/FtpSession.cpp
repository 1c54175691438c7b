#include "FtpSession.h"

#include "BoundedCall.h"
#include "FormatText.h"
#include "NetText.h"
#include "TimeValue.h"

#include <memory>

namespace {
const int kFtpAnswer = 213;

bool CommandUnknown(int code) {
    return code == 500 || code == 502;
}

// What the server or the way to it may get over: a connection reset or timed
// out, and the replies that say so (421 busy, 425 and 426 no data
// connection, 450 and 451 the file busy or a local error).
bool MayPass(const Win32Result& failure, const std::string& reply) {
    const DWORD error = failure.Error();
    if (error == ERROR_INTERNET_CONNECTION_RESET || error == ERROR_INTERNET_CONNECTION_ABORTED ||
        error == ERROR_INTERNET_TIMEOUT)
        return true;
    int code = 0;
    std::string text;
    return SplitFtpReply(reply, code, text) &&
           (code == 421 || code == 425 || code == 426 || code == 450 || code == 451);
}

bool BeyondAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}
} // namespace

unique_hinternet CFtpSession::MakeDataConnection(const char* function,
                                                 const std::function<HINTERNET()>& call,
                                                 Win32Result* failure, bool retried) {
    const DWORD seconds = m_facts.timeoutSeconds;
    for (unsigned retry = 1;; ++retry) {
        BoundedCall made = CallWithin(seconds * 1000, function, call);
        if (!made.finished) {
            m_host.Tracer().Trace(TRACE_ERROR,
                                  "%s : ERROR, no data connection within %u s, connection closed",
                                  function, static_cast<unsigned>(seconds));
            m_host.GiveUpConnection();
        }
        if (!made.handle)
            m_host.Report(made.failure, "");
        if (failure)
            *failure = made.failure;
        // A call given up took its connection with it: nothing to try again on.
        if (made.handle || !made.finished || !retried || !MayPass(made.failure, made.reply) ||
            !WaitToTryAgain(m_host.Retries(), retry, 0, m_host.Tracer(), function))
            return std::move(made.handle);
    }
}

bool CFtpSession::ConnectMayPass(const Win32Result& failure) {
    return MayPass(failure, LastServerReply(failure));
}

unique_hinternet CFtpSession::OpenFile(const std::string& remotePath) {
    return OpenTransfer(remotePath, true);
}

unique_hinternet CFtpSession::OpenTransfer(const std::string& remotePath, bool retried) {
    const HINTERNET connection = m_host.Connection();
    const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(&m_host); // never read back
    Win32Result failure;
    unique_hinternet file = MakeDataConnection(
        "FtpOpenFile",
        [=] {
            return ::FtpOpenFileA(connection, remotePath.c_str(), GENERIC_READ,
                                  FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, context);
        },
        &failure, retried);
    if (file)
        m_host.Tracer().Trace(TRACE_INFO, "FtpOpenFile(%s) OK...", remotePath.c_str());
    else
        ExplainRefusedName(remotePath, "FtpOpenFile(" + remotePath + ")", failure);
    return file;
}

unique_hinternet CFtpSession::OpenFileFrom(const std::string& remotePath, unsigned long long offset,
                                           const std::string& validator,
                                           const std::string& sizeAnswer, RemoteBody& body) {
    body = RemoteBody();
    const std::string context = FormatText("FtpOpenFile(%s)", remotePath.c_str());
    Reply size, time;
    unsigned long long bytes = 0;
    // The size query just before, for this file, has the server's answer.
    const bool asked = !sizeAnswer.empty();
    if (asked) {
        size.code = kFtpAnswer;
        size.text = sizeAnswer;
    }
    // A server that knows neither command gives nothing to name a copy by.
    if (!m_bListing && (asked || Ask("SIZE", remotePath, context, size).Ok()) &&
        size.code == kFtpAnswer && ParseFtpSize(size.text, bytes) &&
        Ask("MDTM", remotePath, context, time).Ok() && time.code == kFtpAnswer) {
        body.length = static_cast<long long>(bytes);
        body.validator = size.text + " " + time.text;
    }
    CTraceBase& trace = m_host.Tracer();
    bool restarted = false;
    if (offset && !body.validator.empty() && body.validator == validator && offset < bytes) {
        Reply rest;
        restarted = SendCommand(FormatText("REST %llu", offset), rest).Ok() && rest.code == 350;
        if (restarted) {
            body.offset = offset;
            body.length -= static_cast<long long>(offset);
        }
    }
    if (offset && !restarted)
        trace.Trace(TRACE_INFO, "%s : the whole file asked for, from the start", context.c_str());
    // A transfer asked for again after REST could start from its first
    // byte: one that follows REST is not.
    unique_hinternet file = OpenTransfer(remotePath, !restarted);
    if (!file && restarted) {
        // The next transfer of the connection must not start at that byte.
        Reply ignored;
        SendCommand("REST 0", ignored);
    }
    return file;
}

Win32Result CFtpSession::SendCommand(const std::string& command, Reply& reply) {
    // A refusal fails the call with the reply kept; anything else got none.
    if (!::FtpCommandA(m_host.Connection(), FALSE, // no data connection
                       FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr)) {
        const Win32Result failed = Win32Result::Failed("FtpCommand");
        if (failed.Error() != ERROR_INTERNET_EXTENDED_ERROR)
            return failed;
    }
    char text[1024] = {};
    DWORD length = sizeof(text) - 1;
    DWORD error = 0;
    if (!::InternetGetLastResponseInfoA(&error, text, &length))
        return Win32Result::Failed("FtpCommand");
    if (!SplitFtpReply(std::string(text, length), reply.code, reply.text))
        return Win32Result::Failed("FtpCommand", ERROR_INTERNET_EXTENDED_ERROR);
    return Win32Result();
}

Win32Result CFtpSession::Ask(const char* command, const std::string& remotePath,
                             const std::string& context, Reply& reply) {
    if (!m_bBinary) {
        Reply ignored;
        m_bBinary = SendCommand("TYPE I", ignored).Ok();
    }
    const std::string line = std::string(command) + " " + remotePath;
    Win32Result sent = SendCommand(line, reply);
    if (!sent.Ok()) {
        m_host.Report(sent, line);
        return sent;
    }
    if (CommandUnknown(reply.code)) {
        m_bListing = true;
        m_host.Tracer().Trace(TRACE_INFO,
                              "%s : %s not understood (%d), sizes and times from listings",
                              context.c_str(), command, reply.code);
        return sent;
    }
    if (reply.code != kFtpAnswer) {
        const Win32Result refused =
            Win32Result::Failed("FtpCommand", ERROR_INTERNET_EXTENDED_ERROR);
        m_host.Report(refused,
                      FormatText("%s : %d %s", line.c_str(), reply.code, reply.text.c_str()));
        ExplainRefusedName(remotePath, context, refused);
        return refused;
    }
    return sent;
}

Win32Result CFtpSession::FindFile(const std::string& remotePath, const std::string& context,
                                  WIN32_FIND_DATAA* found) {
    // Filled by a call that may outlive this one.
    const auto record = std::make_shared<WIN32_FIND_DATAA>();
    const HINTERNET connection = m_host.Connection();
    Win32Result failure;
    unique_hinternet find = MakeDataConnection(
        "FtpFindFirstFile",
        [=] {
            return ::FtpFindFirstFileA(connection, remotePath.c_str(), record.get(),
                                       INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT |
                                           INTERNET_FLAG_NO_CACHE_WRITE,
                                       0);
        },
        &failure);
    if (!find) {
        ExplainRefusedName(remotePath, context, failure);
        return failure;
    }
    *found = *record;
    m_host.CloseHandle(find);
    return Win32Result();
}

Win32Result CFtpSession::FileSize(HINTERNET, const std::string& remotePath,
                                  const std::string& context, DWORD* size,
                                  std::string* sizeAnswer) {
    Reply reply;
    if (!m_bListing) {
        const Win32Result asked = Ask("SIZE", remotePath, context, reply);
        if (!asked.Ok())
            return asked;
    }
    if (reply.code == kFtpAnswer) {
        unsigned long long value = 0;
        if (!ParseFtpSize(reply.text, value)) {
            m_host.Tracer().Trace(TRACE_ERROR, "%s : ERROR, SIZE answered : %s", context.c_str(),
                                  reply.text.c_str());
            return Win32Result::Failed("FtpCommand", ERROR_INTERNET_EXTENDED_ERROR);
        }
        // The low 32 bits, as from a listing.
        *size = static_cast<DWORD>(value);
        *sizeAnswer = reply.text;
        m_host.Tracer().Trace(TRACE_INFO, "%s : FtpCommand(SIZE)  size = %d ", context.c_str(),
                              static_cast<int>(*size));
        return Win32Result();
    }
    WIN32_FIND_DATAA found = {};
    const Win32Result listed = FindFile(remotePath, context, &found);
    if (!listed.Ok())
        return listed;
    *size = found.nFileSizeLow;
    m_host.Tracer().Trace(TRACE_INFO, "%s : FtpFindFirstFile  size = %d ", context.c_str(),
                          static_cast<int>(*size));
    return Win32Result();
}

Win32Result CFtpSession::FileTime(HINTERNET, const std::string& remotePath,
                                  const std::string& context, time_t* time, unique_hinternet&) {
    Reply reply;
    if (!m_bListing) {
        const Win32Result asked = Ask("MDTM", remotePath, context, reply);
        if (!asked.Ok())
            return asked;
    }
    if (reply.code != kFtpAnswer)
        return ListedFileTime(remotePath, context, time);
    // UTC to the second, as HTTP's Last-Modified: the same conversion.
    FtpTime t = {};
    SYSTEMTIME fields = {};
    FILETIME utc;
    time_t value;
    if (ParseFtpTime(reply.text, t)) {
        fields.wYear = static_cast<WORD>(t.year);
        fields.wMonth = static_cast<WORD>(t.month);
        fields.wDay = static_cast<WORD>(t.day);
        fields.wHour = static_cast<WORD>(t.hour);
        fields.wMinute = static_cast<WORD>(t.minute);
        fields.wSecond = static_cast<WORD>(t.second);
    }
    if (!fields.wYear || !::SystemTimeToFileTime(&fields, &utc) || !TimeFromFileTime(utc, &value)) {
        m_host.Tracer().Trace(TRACE_ERROR, "%s : ERROR, MDTM answered : %s", context.c_str(),
                              reply.text.c_str());
        return Win32Result::Failed("FtpCommand", ERROR_INTERNET_EXTENDED_ERROR);
    }
    *time = value;
    m_host.Tracer().Trace(TRACE_INFO, "%s : FtpCommand(MDTM)  date = %s ", context.c_str(),
                          FormatLocalTime(value).c_str());
    return Win32Result();
}

Win32Result CFtpSession::ListedFileTime(const std::string& remotePath, const std::string& context,
                                        time_t* time) {
    WIN32_FIND_DATAA found = {};
    const Win32Result listed = FindFile(remotePath, context, &found);
    if (!listed.Ok())
        return listed;
    // The listing shows the server's wall clock; it is taken as ours.
    FILETIME utc;
    time_t value;
    if (!::LocalFileTimeToFileTime(&found.ftLastWriteTime, &utc))
        return Win32Result::Failed("LocalFileTimeToFileTime");
    if (!TimeFromFileTime(utc, &value))
        return Win32Result::Failed("LocalFileTimeToFileTime", ERROR_INVALID_DATA);
    *time = value;
    m_host.Tracer().Trace(TRACE_INFO, "%s : FtpFindFirstFile  date = %s ", context.c_str(),
                          FormatLocalTime(value).c_str());
    return Win32Result();
}

void CFtpSession::ExplainRefusedName(const std::string& remotePath, const std::string& context,
                                     const Win32Result& failure) {
    // Only where the server answered: a time-out or a lost connection says
    // nothing about the name.
    const bool answered =
        failure.Error() == ERROR_INTERNET_EXTENDED_ERROR || failure.Error() == ERROR_NO_MORE_FILES;
    if (m_bNameExplained || !answered || !m_host.Connection() || !BeyondAscii(remotePath))
        return;
    m_bNameExplained = true;
    m_host.Tracer().Trace(TRACE_WARNING,
                          "%s : WARNING, FTP names go in code page %u as the list writes them, "
                          "never in UTF-8 (WinINet): a server that names its files in UTF-8 has "
                          "none by this name",
                          context.c_str(), static_cast<unsigned>(::GetACP()));
}
