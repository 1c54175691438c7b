#pragma once
// A pass report as it lands in a server's access log: one line of the
// combined format (nginx, apache, varnishncsa) whose request is a GET of the
// report path with the report in its query. Anyone can write such lines, so
// every field is checked and nothing is taken on trust. Pure logic, no
// platform calls: it builds under the fuzzer too.

#include <cstdint>
#include <string>

namespace passreport {

// What the report tool reads of one report; the other fields (modules,
// bytes, seconds, version, unattended, server) are for the log's reader.
struct Report {
    uint64_t idHigh = 0, idLow = 0; // d: the desktop, 128 bits
    uint32_t exitCode = 0;          // x
    bool hasSerial = false;         // s: empty when no release is installed
    uint64_t serial = 0;
    std::string listPath; // l
    int bucket = -1;      // b: 0 to 9999, -1 when absent or unreadable
    long long time = 0;   // the line's, seconds since 1970 (UTC)
};

// The time and the request target of a GET line in the combined format:
// host ident user [dd/Mon/yyyy:HH:MM:SS +zzzz] "GET target HTTP/x" ...
// False for any other line.
bool ParseLogLine(const std::string& line, long long& time, std::string& target);

// A query value decoded: "%XX" as the byte, "+" as a blank; a "%" without two
// hexadecimal digits after it stays a "%".
std::string DecodeQueryValue(const char* begin, const char* end);

// The report a target carries: its path (after an absolute form's scheme and
// host) is reportPath, or anything when reportPath is empty; its query holds
// d (32 hexadecimal digits) and x (a decimal number below 2^32), s empty or
// a serial (a decimal number up to 2^64 - 1). False for anything else.
bool ParseReport(const std::string& target, const std::string& reportPath, Report& report);

} // namespace passreport
