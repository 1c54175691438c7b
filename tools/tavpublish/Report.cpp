// tavpublish report: the pass reports in a server's access logs, read line by
// line into the last report of each desktop.
#include "Commands.h"
#include "Fleet.h"
#include "ReportOutput.h"
#include "TextConvert.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

// Longer lines are no report the updater sends; they are skipped unread.
const size_t kMaxLine = 8192;

struct Counts {
    unsigned long long lines = 0, reports = 0;
};

// Hands every line of the file (without its line end) to the fleet, holding
// at most one buffer and one line.
bool ReadLog(const std::string& name, const std::string& reportPath, passreport::Fleet& fleet,
             Counts& counts, std::string& error) {
    std::FILE* file = name == "-" ? stdin : std::fopen(name.c_str(), "rb");
    if (!file) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    std::string line, target;
    passreport::Report report;
    bool tooLong = false;
    auto take = [&]() {
        ++counts.lines;
        long long time = 0;
        if (!tooLong && passreport::ParseLogLine(line, time, target) &&
            passreport::ParseReport(target, reportPath, report)) {
            report.time = time;
            fleet.Add(report);
            ++counts.reports;
        }
        line.clear();
        tooLong = false;
    };
    static char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        const char* p = buffer;
        const char* const end = buffer + got;
        while (p < end) {
            const char* nl =
                static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            const char* stop = nl ? nl : end;
            if (!tooLong && line.size() + static_cast<size_t>(stop - p) <= kMaxLine)
                line.append(p, stop);
            else
                tooLong = true;
            if (!nl)
                break;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            take();
            p = nl + 1;
        }
    }
    const bool failed = std::ferror(file) != 0;
    if (!line.empty() || tooLong)
        take();
    if (file != stdin)
        std::fclose(file);
    if (failed)
        error = name + ": read error";
    return !failed;
}

// The release a list stages and its rollout; false, with the reason, when the
// list has no serial or an unreadable ";rollout=".
bool ReadPlan(const std::string& path, passreport::ListPlan& plan, std::string& error) {
    std::string list;
    if (!publish::ReadFile(path, list, error))
        return false;
    unsigned long long serial = 0;
    if (versionlist::FindSerial(list, serial) != versionlist::SERIAL_FOUND) {
        error = path + ": no readable \";serial=\" line";
        return false;
    }
    plan.serial = serial;
    versionlist::FindComment(list, "list", plan.listPath);
    std::string value;
    plan.hasRollout = versionlist::FindComment(list, "rollout", value);
    if (plan.hasRollout && !rollout::Parse(value, plan.rollout)) {
        error =
            path + ": \";rollout=" + value + "\" is not YYYY-MM-DDTHH:MM:SSZ/<days from 0 to 3650>";
        return false;
    }
    return true;
}

// The list path (code page 949, as the list holds it) as UTF-8 text.
std::string DisplayName(const std::string& listPath) {
    std::string utf8;
    size_t failedAt = 0;
    if (ConvertText(listPath, "CP949", "UTF-8", utf8, failedAt))
        return utf8;
    for (char& c : utf8 = listPath)
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '?';
    return utf8;
}

} // namespace

int Report(const Args& args) {
    if (args.positional.empty())
        return Fail("report wants at least one LOG (see tavpublish report --help)");
    passreport::ListPlan plan;
    std::string error;
    if (!args.list.empty() && !ReadPlan(args.list, plan, error))
        return Fail(error);
    passreport::Fleet fleet(args.list.empty() ? nullptr : &plan);
    Counts counts;
    for (const std::string& log : args.positional)
        if (!ReadLog(log, args.reportPath, fleet, counts, error))
            return Fail(error);

    const passreport::Summary summary = fleet.Summarize(static_cast<long long>(std::time(nullptr)));
    const std::string listName = DisplayName(plan.listPath);
    std::printf("%llu lines read, %llu pass reports\n", counts.lines, counts.reports);
    passreport::PrintText(stdout, summary, listName);
    if (!args.json.empty() &&
        !publish::ReplaceFile(args.json, passreport::JsonText(summary, listName), error))
        return Fail(error);
    if (!args.html.empty() &&
        !publish::ReplaceFile(args.html, passreport::HtmlPage(summary, listName), error))
        return Fail(error);
    return 0;
}
