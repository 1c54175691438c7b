// An FTP file's size and time: asked with SIZE and MDTM, one command each on
// the control connection; from the folder listing only where the server
// knows neither. Also the bound on calls that make a data connection.
#include "BoundedCall.h"
#include "NetDownLoader.h"
#include "NetText.h"
#include "TimeValue.h"

namespace {
const int kFtpAnswer = 213;
}

unique_hinternet CNetDownLoader::MakeFtpDataConnection(const char* function,
                                                       std::function<HINTERNET()> call) {
    const BoundedCall made = CallWithin(m_dwTimeoutSeconds * 1000, std::move(call));
    if (!made.finished) {
        // The call still holds the connection; the next Connect makes another.
        Trace(TRACE_ERROR, "%s : ERROR, no data connection within %u s, connection closed",
              function, static_cast<unsigned>(m_dwTimeoutSeconds));
        _CloseInternetHandle(m_hConnect);
    }
    if (!made.handle) {
        ::SetLastError(made.error);
        _ReportError(function, "");
    }
    return unique_hinternet(made.handle);
}

bool CNetDownLoader::SendFtpCommand(const std::string& command, int& code, std::string& text) {
    // A refusal fails the call with the reply kept; anything else got none.
    if (!::FtpCommandA(m_hConnect.get(), FALSE, // no data connection
                       FTP_TRANSFER_TYPE_BINARY, command.c_str(), 0, nullptr) &&
        ::GetLastError() != ERROR_INTERNET_EXTENDED_ERROR)
        return false;
    char reply[1024] = {};
    DWORD length = sizeof(reply) - 1;
    DWORD error = 0;
    if (!::InternetGetLastResponseInfoA(&error, reply, &length))
        return false;
    if (!SplitFtpReply(std::string(reply, length), code, text)) {
        ::SetLastError(ERROR_INTERNET_EXTENDED_ERROR);
        return false;
    }
    return true;
}

int CNetDownLoader::AskFtpServer(const char* command, const std::string& remotePath,
                                 const std::string& context, std::string& answer) {
    // The connection carries one transfer at a time: a running one goes first.
    _CloseInternetHandle(m_hRemoteFile);
    int code = 0;
    if (!m_bFtpBinary) {
        std::string ignored;
        m_bFtpBinary = SendFtpCommand("TYPE I", code, ignored);
    }
    const std::string line = std::string(command) + " " + remotePath;
    if (!SendFtpCommand(line, code, answer)) {
        _ReportError("FtpCommand", line);
        return 0;
    }
    if (code == 500 || code == 502) {
        m_bFtpListing = true;
        Trace(TRACE_WARNING, "%s : %s not understood (%d), sizes and times from listings",
              context.c_str(), command, code);
        return -1;
    }
    if (code != kFtpAnswer) {
        ::SetLastError(ERROR_INTERNET_EXTENDED_ERROR);
        _ReportError("FtpCommand", FormatText("%s : %d %s", line.c_str(), code, answer.c_str()));
        return 0;
    }
    return 1;
}

int CNetDownLoader::FtpFileSize(const std::string& remotePath, const std::string& context,
                                DWORD* size) {
    std::string answer;
    const int asked = m_bFtpListing ? -1 : AskFtpServer("SIZE", remotePath, context, answer);
    if (asked == 0)
        return 0;
    if (asked > 0) {
        unsigned long long value = 0;
        if (!ParseFtpSize(answer, value)) {
            Trace(TRACE_ERROR, "%s : ERROR, SIZE answered : %s", context.c_str(), answer.c_str());
            return 0;
        }
        // The low 32 bits, as from a listing.
        *size = static_cast<DWORD>(value);
        Trace(TRACE_INFO, "%s : FtpCommand(SIZE)  size = %d ", context.c_str(),
              static_cast<int>(*size));
        return 1;
    }
    WIN32_FIND_DATAA found = {};
    if (!FindFtpFile(remotePath, &found))
        return 0;
    *size = found.nFileSizeLow;
    Trace(TRACE_INFO, "%s : FtpFindFirstFile  size = %d ", context.c_str(),
          static_cast<int>(*size));
    return 1;
}

int CNetDownLoader::FtpFileTime(const std::string& remotePath, const std::string& context,
                                time_t* time) {
    std::string answer;
    const int asked = m_bFtpListing ? -1 : AskFtpServer("MDTM", remotePath, context, answer);
    if (asked == 0)
        return 0;
    if (asked < 0)
        return FtpListedFileTime(remotePath, context, time);
    // UTC to the second, as HTTP's Last-Modified: the same conversion.
    FtpTime t = {};
    SYSTEMTIME fields = {};
    FILETIME utc;
    time_t value;
    if (ParseFtpTime(answer, t)) {
        fields.wYear = static_cast<WORD>(t.year);
        fields.wMonth = static_cast<WORD>(t.month);
        fields.wDay = static_cast<WORD>(t.day);
        fields.wHour = static_cast<WORD>(t.hour);
        fields.wMinute = static_cast<WORD>(t.minute);
        fields.wSecond = static_cast<WORD>(t.second);
    }
    if (!fields.wYear || !::SystemTimeToFileTime(&fields, &utc) || !TimeFromFileTime(utc, &value)) {
        Trace(TRACE_ERROR, "%s : ERROR, MDTM answered : %s", context.c_str(), answer.c_str());
        return 0;
    }
    *time = value;
    Trace(TRACE_INFO, "%s : FtpCommand(MDTM)  date = %s ", context.c_str(),
          FormatLocalTime(value).c_str());
    return 1;
}

int CNetDownLoader::FtpListedFileTime(const std::string& remotePath, const std::string& context,
                                      time_t* time) {
    WIN32_FIND_DATAA found = {};
    if (!FindFtpFile(remotePath, &found))
        return 0;
    // The listing shows the server's wall clock; it is taken as ours.
    FILETIME utc;
    time_t value;
    if (!::LocalFileTimeToFileTime(&found.ftLastWriteTime, &utc) || !TimeFromFileTime(utc, &value))
        return 0;
    *time = value;
    Trace(TRACE_INFO, "%s : FtpFindFirstFile  date = %s ", context.c_str(),
          FormatLocalTime(value).c_str());
    return 1;
}
