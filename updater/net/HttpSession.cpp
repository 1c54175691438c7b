// A remote file over HTTP(S): the GET that opens it, a kept part continued
// with Range and If-Range, and its size and time read from the response.
#include "HttpSession.h"

#include "FormatText.h"
#include "NetText.h"
#include "TimeValue.h"

#include <cstdlib>

namespace {

// The library is told the record is 16 bytes long, its size on every platform.
static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME layout");

const long kRangeNotSatisfiable = 416;

} // namespace

unique_hinternet CHttpSession::OpenFile(const std::string& remotePath) {
    return SendRequest(remotePath, nullptr); // GET
}

unique_hinternet CHttpSession::OpenFileFrom(const std::string& remotePath,
                                            unsigned long long offset, const std::string& validator,
                                            const std::string&, RemoteBody& body) {
    CTraceBase& trace = m_host.Tracer();
    body = RemoteBody();
    std::string headers;
    if (offset)
        headers = FormatText("Range: bytes=%llu-\r\nIf-Range: %s\r\n", offset, validator.c_str());
    long status = 0;
    unique_hinternet response = SendRequest(remotePath, nullptr, &status, headers);
    if (!response && offset && status == kRangeNotSatisfiable) {
        // The kept bytes are no part of what the server has under that copy.
        trace.Trace(TRACE_WARNING, "HttpSendRequest(%s) : range refused, from the start",
                    remotePath.c_str());
        return OpenFileFrom(remotePath, 0, std::string(), std::string(), body);
    }
    if (!response)
        return response;
    if (status == HTTP_STATUS_PARTIAL_CONTENT) {
        char text[128] = {};
        DWORD length = sizeof(text) - 1;
        unsigned long long first = 0;
        if (!::HttpQueryInfoA(response.get(), HTTP_QUERY_CONTENT_RANGE, text, &length, nullptr) ||
            !ContentRangeFirst(text, first) || first != offset ||
            Validator(response.get()) != validator) {
            trace.Trace(TRACE_WARNING,
                        "HttpSendRequest(%s) : part from another byte or copy (%s), "
                        "from the start",
                        remotePath.c_str(), text);
            m_host.CloseHandle(response);
            return OpenFileFrom(remotePath, 0, std::string(), std::string(), body);
        }
        body.offset = offset;
    } else if (offset) {
        trace.Trace(TRACE_INFO, "HttpSendRequest(%s) : the whole file sent, from the start",
                    remotePath.c_str());
    }
    DWORD length = 0;
    DWORD size = sizeof(length);
    if (::HttpQueryInfoA(response.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                         &length, &size, nullptr))
        body.length = length;
    body.validator = Validator(response.get());
    return response;
}

unique_hinternet CHttpSession::OpenRange(const std::string& remotePath, unsigned long long offset,
                                         unsigned long long length) {
    const std::string headers =
        FormatText("Range: bytes=%llu-%llu\r\n", offset, offset + length - 1);
    long status = 0;
    unique_hinternet response = SendRequest(remotePath, nullptr, &status, headers);
    if (!response)
        return response;
    char text[128] = {};
    DWORD size = sizeof(text) - 1;
    unsigned long long first = 0;
    DWORD count = 0;
    DWORD number = sizeof(count);
    const bool part =
        status == HTTP_STATUS_PARTIAL_CONTENT &&
        ::HttpQueryInfoA(response.get(), HTTP_QUERY_CONTENT_RANGE, text, &size, nullptr) &&
        ContentRangeFirst(text, first) && first == offset &&
        ::HttpQueryInfoA(response.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &count,
                         &number, nullptr) &&
        count == length;
    if (!part) {
        // A server that sends the whole file (200), another part or several.
        m_host.Tracer().Trace(TRACE_WARNING,
                              "HttpSendRequest(%s) : bytes %llu-%llu answered %d (%s), not as "
                              "asked",
                              remotePath.c_str(), offset, offset + length - 1,
                              static_cast<int>(status), text);
        m_host.CloseHandle(response);
    }
    return response;
}

std::string CHttpSession::Validator(HINTERNET response) {
    std::string text(m_nMostValidatorBytes + 2, '\0');
    DWORD length = static_cast<DWORD>(text.size() - 1);
    // A weak tag (W/"...") may not name a range's copy (RFC 9110).
    if (::HttpQueryInfoA(response, HTTP_QUERY_ETAG, &text[0], &length, nullptr) && length > 2 &&
        text[0] == '"')
        return text.substr(0, length);
    length = static_cast<DWORD>(text.size() - 1);
    if (::HttpQueryInfoA(response, HTTP_QUERY_LAST_MODIFIED, &text[0], &length, nullptr) && length)
        return text.substr(0, length);
    return std::string();
}

Win32Result CHttpSession::FileSize(HINTERNET response, const std::string&,
                                   const std::string& context, DWORD* size, std::string*) {
    // The module's GET, whose body a download then reads: a part of it when
    // a kept file is continued.
    CTraceBase& trace = m_host.Tracer();
    long status = 0;
    char text[128] = {};
    DWORD length = sizeof(text) - 1;
    if (QueryStatus(response, status) && status == HTTP_STATUS_PARTIAL_CONTENT) {
        // The whole file's size, as the Content-Range states it.
        unsigned long long first = 0, whole = 0;
        if (!::HttpQueryInfoA(response, HTTP_QUERY_CONTENT_RANGE, text, &length, nullptr) ||
            !ContentRangeFirst(text, first, &whole) || !whole) {
            *size = 0;
            trace.Trace(TRACE_INFO, "%s : HttpQueryInfo : size unknown, no Content-Range total",
                        context.c_str());
            return Win32Result();
        }
        *size = static_cast<DWORD>(whole);
    } else if (::HttpQueryInfoA(response, HTTP_QUERY_CONTENT_LENGTH, text, &length, nullptr)) {
        *size = static_cast<DWORD>(atol(text));
    } else {
        // A body of no announced length (chunked) ends with its data.
        *size = 0;
        trace.Trace(TRACE_INFO, "%s : HttpQueryInfo : size unknown, no Content-Length",
                    context.c_str());
        return Win32Result();
    }
    trace.Trace(TRACE_INFO, "%s : HttpQueryInfo : size =%d", context.c_str(),
                static_cast<int>(*size));
    return Win32Result();
}

Win32Result CHttpSession::FileTime(HINTERNET response, const std::string& remotePath,
                                   const std::string& context, time_t* time,
                                   unique_hinternet& opened) {
    // The GET when it is open already, else HEAD: a GET closed unread makes
    // the library read its whole body first, so a pass over current modules
    // would fetch them.
    unique_hinternet head;
    long status = 0;
    if (!response) {
        head = SendRequest(remotePath, "HEAD", &status);
        response = head.get();
    }
    // A server that will not answer HEAD is asked with the GET after all; a
    // path it does not have is not asked twice.
    CTraceBase& trace = m_host.Tracer();
    if (!response && status != HTTP_STATUS_NOT_FOUND) {
        opened = OpenFile(remotePath);
        response = opened.get();
        if (!response)
            trace.Trace(TRACE_ERROR,
                        "_IsRemoteFileOpened : ERROR, could not open remote file handle : %s",
                        remotePath.c_str());
    }
    if (!response) {
        trace.Trace(TRACE_ERROR, "%s : ERROR, remote file could not opened..", context.c_str());
        return Win32Result::Failed("HttpSendRequest", ERROR_NOT_FOUND);
    }
    SYSTEMTIME modified = {};
    DWORD length = sizeof(modified);
    if (!::HttpQueryInfoA(response, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME,
                          &modified, &length, nullptr)) {
        const Win32Result failed = Win32Result::Failed("HttpQueryInfo");
        m_host.Report(failed, "");
        return failed;
    }
    trace.Trace(TRACE_INFO, "%s : HttpQueryInfo date = %04d-%02d-%02d %02d:%02d:%02d",
                context.c_str(), modified.wYear, modified.wMonth, modified.wDay, modified.wHour,
                modified.wMinute, modified.wSecond);
    FILETIME utc;
    if (!::SystemTimeToFileTime(&modified, &utc)) {
        const Win32Result failed = Win32Result::Failed("SystemTimeToFileTime");
        m_host.Report(failed, "");
        return failed;
    }
    time_t value;
    if (!TimeFromFileTime(utc, &value))
        return Win32Result::Failed("SystemTimeToFileTime", ERROR_INVALID_DATA);
    *time = value;
    trace.Trace(TRACE_INFO, "%s : Converted DateTime = %s", context.c_str(),
                FormatLocalTime(value).c_str());
    return Win32Result();
}

DWORD CHttpSession::LeastBodySize(HINTERNET file, DWORD expectedSize) {
    if (expectedSize)
        return expectedSize;
    // Without a size from the caller the response's own length is the bound.
    DWORD length = 0;
    DWORD size = sizeof(length);
    if (!::HttpQueryInfoA(file, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                          nullptr))
        return 0;
    return length;
}
