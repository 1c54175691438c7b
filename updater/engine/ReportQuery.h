#pragma once
// The pass report's request: the "Report URL" taken apart, and the query
// that carries what the pass met. Nothing in it names the user, the machine,
// a path on it or its address. Pure logic, so it builds natively too.

#include <optional>
#include <string>

namespace reportquery {

struct ReportUrl {
    bool secure = false;
    std::string host;
    unsigned short port = 0; // the scheme's own when the URL names none
    std::string path;        // from its "/", without a query
};

// "http://host[:port]/path" or "https://..." (the scheme in any letter case);
// false for anything else: no login, query or fragment, a port from 1 to
// 65535, a host without blanks or control characters.
bool ParseReportUrl(const std::string& text, ReportUrl& url);

struct PassFacts {
    std::string desktopId;                    // d: 32 hexadecimal digits
    unsigned long exitCode = 0;               // x
    std::optional<unsigned long long> serial; // s: the installed release's
    std::string listPath;                     // l
    std::optional<unsigned> bucket;           // b
    unsigned long fetched = 0, failed = 0;    // f, e
    unsigned long long bytes = 0;             // n
    unsigned long seconds = 0;                // t
    std::string version;                      // v
    bool unattended = false;                  // u
    std::string server;                       // r: the server that gave the list
};

// The request target: the URL's path, "?" and the fields, every byte but
// letters, digits and "-._~" percent-encoded.
std::string ReportTarget(const ReportUrl& url, const PassFacts& facts);

} // namespace reportquery
