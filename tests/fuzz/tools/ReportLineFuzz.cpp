// Access log lines come from anyone who can send the server a request: any
// bytes must go through the line reader and the query decoder without a
// fault, and a report taken from them must hold what a report can hold.

#include "ReportLine.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    if (passreport::DecodeQueryValue(line.data(), line.data() + line.size()).size() > line.size())
        std::abort();
    long long time = 0;
    std::string target;
    passreport::Report report;
    // Also the bytes as a target of their own, where a fuzzer finds queries sooner.
    if (passreport::ParseLogLine(line, time, target) && (time < 0 || time > UINT32_MAX))
        std::abort();
    for (const std::string& t : {target, line}) {
        for (const std::string path : {"", "/report"}) {
            if (passreport::ParseReport(t, path, report) &&
                (report.bucket < -1 || report.bucket > 9999 ||
                 (!report.hasSerial && report.serial)))
                std::abort();
        }
    }
    return 0;
}
