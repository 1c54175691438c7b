#pragma once
// Text helpers of the downloader that need no platform call.

#include "FormatText.h"
#include "TextRules.h"

#include <string>

// An HTTP request path from one in UTF-8: every byte at or above 0x80 as
// "%XX" (RFC 3986); every other byte as written, so an escape the path holds
// already ("%20") reaches the server as it stands.
std::string PercentEncodeHighBytes(const std::string& utf8Path);

// The bytes a percent-escaped path names, as a server decodes it. False for
// a "%" not followed by two hexadecimal digits.
bool PercentDecode(const std::string& text, std::string& bytes);

// An FTP server's reply ("213 20250601123456"): the three-digit code and the
// text after the blank of its last line, without the line end. False when
// that line does not begin with a code.
bool SplitFtpReply(const std::string& line, int& code, std::string& text);

// A calendar time in UTC, as an FTP server gives it.
struct FtpTime {
    int year, month, day, hour, minute, second;
};

// MDTM's answer (RFC 3659): "YYYYMMDDHHMMSS", perhaps with a fraction of a
// second, which is dropped.
bool ParseFtpTime(const std::string& text, FtpTime& time);

// SIZE's answer: a decimal byte count.
bool ParseFtpSize(const std::string& text, unsigned long long& size);

// The first byte of a 206 response's Content-Range ("bytes 500-999/1000",
// the total perhaps "*"), and the whole file's bytes when asked (0 for "*").
// False for anything else.
bool ContentRangeFirst(const std::string& text, unsigned long long& first,
                       unsigned long long* total = nullptr);

// Where a request goes: scheme, host, port and the request path (with its
// query), as sent.
struct UrlPlace {
    bool secure = false;
    std::string host;
    unsigned short port = 0;
    std::string path;
};

// The place a redirect's Location names, from the place that answered it: an
// absolute http or https URL, one without a scheme ("//host/x"), a path from
// the root, or a path beside the answering one. False for any other scheme,
// a URL with a login in it, or a port that is no number.
bool ResolveRedirect(const UrlPlace& from, const std::string& location, UrlPlace& to);
