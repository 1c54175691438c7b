#include "ReportOutput.h"

#include <algorithm>
#include <cinttypes>

namespace passreport {

namespace {

std::string DayText(long long day) {
    return rollout::UtcText(day * 86400).substr(0, 10);
}

std::string Percent(size_t part, size_t whole) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f %%",
                  whole ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
    return text;
}

std::string Number(double value, const char* format = "%.0f") {
    char text[48];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::string HtmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// text is UTF-8 (the list name is converted before it gets here).
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonSerial(const SerialKey& k) {
    return k.has ? "\"" + std::to_string(k.serial) + "\"" : "null";
}

// The plan line's facts, shared by every writer.
std::string PlanText(const Summary& s, const std::string& listName) {
    std::string text = "rollout of serial " + std::to_string(s.plan.serial);
    if (!listName.empty())
        text += " (" + listName + ")";
    if (!s.plan.hasRollout)
        return text + ": no rollout, every desktop takes it at once";
    return text + ": plan " + Number(100 * s.rollout.planned, "%.1f") + " % now (from " +
           rollout::UtcText(s.plan.rollout.start) + " over " + std::to_string(s.plan.rollout.days) +
           " days)";
}

// No red among them: red is for the failing exit codes.
const char* const kColours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#9467bd", "#8c564b", "#e377c2",
                                "#bcbd22", "#17becf", "#393b79", "#637939", "#8c6d31", "#7b4173"};

const char* SeriesColour(const Summary& s, size_t i) {
    if (!s.chartSerials[i].has)
        return "#7f7f7f";
    return kColours[i % (sizeof(kColours) / sizeof(kColours[0]))];
}

// A round step for about five grid lines up to max.
size_t GridStep(size_t max) {
    size_t step = 1;
    while (true) {
        for (size_t m : {1, 2, 5})
            if (step * m * 5 >= max)
                return step * m;
        step *= 10;
    }
}

const int kWidth = 760, kHeight = 320, kLeft = 64, kRight = 16, kTop = 16, kBottom = 44;
const int kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;

// The y axis up to top with its grid; returns the scale's top value.
size_t Grid(std::string& svg, size_t max) {
    const size_t step = GridStep(std::max<size_t>(max, 1));
    const size_t top = (std::max<size_t>(max, 1) + step - 1) / step * step;
    for (size_t v = 0; v <= top; v += step) {
        const std::string y =
            Number(kTop + kPlotHeight - static_cast<double>(v) * kPlotHeight / top, "%.1f");
        svg += "<line class=\"grid\" x1=\"" + std::to_string(kLeft) + "\" x2=\"" +
               std::to_string(kLeft + kPlotWidth) + "\" y1=\"" + y + "\" y2=\"" + y +
               "\"/><text class=\"tick\" x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + y +
               "\" dy=\"4\" text-anchor=\"end\">" + std::to_string(v) + "</text>\n";
    }
    return top;
}

std::string SvgOpen(const char* id, const char* label) {
    return std::string("<svg id=\"") + id + "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight) + "\" viewBox=\"0 0 " +
           std::to_string(kWidth) + " " + std::to_string(kHeight) +
           "\" role=\"img\" aria-label=\"" + label + "\">\n";
}

std::string SerialsChart(const Summary& s) {
    std::string svg = SvgOpen("serials-chart", "Desktops per installed serial, day by day");
    size_t max = 0;
    for (const std::vector<size_t>& series : s.daily)
        for (size_t v : series)
            max = std::max(max, v);
    const size_t top = Grid(svg, max);
    const size_t days = s.reporting.size();
    auto x = [&](size_t day) {
        return days <= 1 ? kLeft + kPlotWidth / 2.0
                         : kLeft + static_cast<double>(day) * kPlotWidth / (days - 1);
    };
    auto y = [&](size_t v) {
        return kTop + kPlotHeight - static_cast<double>(v) * kPlotHeight / top;
    };
    const size_t labelEvery = std::max<size_t>(1, (days + 7) / 8);
    for (size_t day = 0; day < days; day += labelEvery)
        svg += "<text class=\"tick\" x=\"" + Number(x(day), "%.1f") + "\" y=\"" +
               std::to_string(kTop + kPlotHeight + 18) + "\" text-anchor=\"middle\">" +
               DayText(s.firstDay + static_cast<long long>(day)).substr(5) + "</text>\n";
    for (size_t i = 0; i < s.chartSerials.size(); ++i) {
        const std::string name = SerialName(s.chartSerials[i]);
        svg += "<g class=\"series\" data-serial=\"" + name + "\" stroke=\"" + SeriesColour(s, i) +
               "\" fill=\"" + SeriesColour(s, i) + "\"><title>serial " + name +
               "</title><polyline fill=\"none\" stroke-width=\"2\" points=\"";
        std::string dots;
        for (size_t day = 0; day < days; ++day) {
            const std::string point =
                Number(x(day), "%.1f") + "," + Number(y(s.daily[i][day]), "%.1f");
            svg += (day ? " " : "") + point;
            if (days <= 62)
                dots += "<circle r=\"2.5\" cx=\"" + point.substr(0, point.find(',')) + "\" cy=\"" +
                        point.substr(point.find(',') + 1) + "\"/>";
        }
        svg += "\"/>" + dots + "</g>\n";
    }
    return svg + "</svg>\n";
}

std::string ExitCodesChart(const Summary& s, size_t& shown) {
    // The most frequent codes, in the order of their numbers.
    std::vector<std::pair<uint32_t, size_t>> bars = s.exitCodes;
    std::stable_sort(bars.begin(), bars.end(),
                     [](const std::pair<uint32_t, size_t>& a,
                        const std::pair<uint32_t, size_t>& b) { return a.second > b.second; });
    if (bars.size() > kChartSerials)
        bars.resize(kChartSerials);
    std::sort(bars.begin(), bars.end());
    shown = bars.size();
    std::string svg = SvgOpen("exit-codes-chart", "Desktops per exit code of their last pass");
    size_t max = 0;
    for (const auto& b : bars)
        max = std::max(max, b.second);
    const size_t top = Grid(svg, max);
    const double slot = bars.empty() ? kPlotWidth : static_cast<double>(kPlotWidth) / bars.size();
    const double width = std::min(slot * 0.7, 80.0);
    for (size_t i = 0; i < bars.size(); ++i) {
        const double height = static_cast<double>(bars[i].second) * kPlotHeight / top;
        const double left = kLeft + slot * i + (slot - width) / 2;
        const std::string code = std::to_string(bars[i].first);
        const std::string middle = Number(left + width / 2, "%.1f");
        svg += "<g class=\"bar\" data-exit-code=\"" + code + "\" data-desktops=\"" +
               std::to_string(bars[i].second) + "\"><title>exit code " + code + ": " +
               std::to_string(bars[i].second) + " desktops</title><rect x=\"" +
               Number(left, "%.1f") + "\" y=\"" + Number(kTop + kPlotHeight - height, "%.1f") +
               "\" width=\"" + Number(width, "%.1f") + "\" height=\"" + Number(height, "%.1f") +
               "\" fill=\"" + (bars[i].first == 0 ? "#2ca02c" : "#d62728") +
               "\"/><text class=\"tick\" x=\"" + middle + "\" y=\"" +
               std::to_string(kTop + kPlotHeight + 18) + "\" text-anchor=\"middle\">" + code +
               "</text><text class=\"count\" x=\"" + middle + "\" y=\"" +
               Number(kTop + kPlotHeight - height - 4, "%.1f") + "\" text-anchor=\"middle\">" +
               std::to_string(bars[i].second) + "</text></g>\n";
    }
    return svg + "</svg>\n";
}

const char kStyle[] =
    "body{font-family:sans-serif;margin:2em;color:#222;max-width:62em}"
    "h1{font-size:1.5em}h2{font-size:1.15em;margin-top:1.6em}"
    "table{border-collapse:collapse;margin:.5em 0}"
    "td,th{border-bottom:1px solid #ddd;padding:.2em .8em;text-align:right}"
    "th:first-child,td:first-child,#rollout td,#rollout th{text-align:left}"
    "svg{display:block;background:#fafafa;border:1px solid #ddd}"
    ".grid{stroke:#ddd;stroke-width:1}.tick,.count{font-size:11px;fill:#444;stroke:none}"
    ".note{font-size:.85em;color:#555}.legend{list-style:none;padding:0}.legend "
    "li{display:inline-block;margin-right:1.2em}"
    ".swatch{display:inline-block;width:.9em;height:.9em;margin-right:.3em;vertical-align:-.1em}";

} // namespace

std::string SerialName(const SerialKey& k) {
    return k.has ? std::to_string(k.serial) : "none";
}

void PrintText(std::FILE* out, const Summary& s, const std::string& listName) {
    if (s.desktops == 0) {
        std::fprintf(out, "no pass reports\n");
    } else {
        std::fprintf(out, "%zu desktops reported from %s to %s; the last report of each counts\n",
                     s.desktops, rollout::UtcText(s.firstTime).c_str(),
                     rollout::UtcText(s.lastTime).c_str());
        std::fprintf(out, "\n%-16s %10s %8s\n", "installed serial", "desktops", "share");
        for (const auto& e : s.serials)
            std::fprintf(out, "%-16s %10zu %8s\n", SerialName(e.first).c_str(), e.second,
                         Percent(e.second, s.desktops).c_str());
        std::fprintf(out, "\n%-16s %10s %8s\n", "exit code", "desktops", "share");
        for (const auto& e : s.exitCodes)
            std::fprintf(out, "%-16" PRIu32 " %10zu %8s\n", e.first, e.second,
                         Percent(e.second, s.desktops).c_str());
        std::fprintf(out, "\nfailed most:");
        for (size_t i = 0; i < s.failedMost.size() && i < 10; ++i)
            std::fprintf(out, "%s exit code %" PRIu32 " (%zu desktops)", i ? "," : "",
                         s.failedMost[i].first, s.failedMost[i].second);
        std::fprintf(out, "%s\n", s.failedMost.empty() ? " none" : "");
        std::fprintf(out, "\n%-10s %10s", "day", "reporting");
        for (const SerialKey& k : s.chartSerials)
            std::fprintf(out, " %10s", ("s=" + SerialName(k)).c_str());
        std::fprintf(out, "\n");
        for (size_t day = 0; day < s.reporting.size(); ++day) {
            std::fprintf(out, "%-10s %10zu",
                         DayText(s.firstDay + static_cast<long long>(day)).c_str(),
                         s.reporting[day]);
            for (const std::vector<size_t>& series : s.daily)
                std::fprintf(out, " %10zu", series[day]);
            std::fprintf(out, "\n");
        }
        if (s.otherSerials)
            std::fprintf(out, "(%zu more serials not shown by day)\n", s.otherSerials);
    }
    if (!s.hasPlan)
        return;
    const RolloutState& r = s.rollout;
    std::fprintf(out, "\n%s\n", PlanText(s, listName).c_str());
    std::fprintf(out, "  on serial %" PRIu64 ": %s of %zu reporting desktops (%zu)\n",
                 s.plan.serial, Percent(r.onSerial, r.reporting).c_str(), r.reporting, r.onSerial);
    std::fprintf(out,
                 "  due by their bucket: %zu, of those on serial %" PRIu64 ": %zu (%zu not yet)\n",
                 r.due, s.plan.serial, r.dueOnSerial, r.due - r.dueOnSerial);
    std::fprintf(out, "  held back (their turn to come): %zu\n", r.heldBack);
}

std::string JsonText(const Summary& s, const std::string& listName) {
    std::string j = "{\n  \"desktops\": " + std::to_string(s.desktops);
    if (s.desktops) {
        j += ",\n  \"first\": \"" + rollout::UtcText(s.firstTime) + "\",\n  \"last\": \"" +
             rollout::UtcText(s.lastTime) + "\"";
    }
    j += ",\n  \"serials\": [";
    for (size_t i = 0; i < s.serials.size(); ++i)
        j += std::string(i ? ", " : "") + "{\"serial\": " + JsonSerial(s.serials[i].first) +
             ", \"desktops\": " + std::to_string(s.serials[i].second) + "}";
    j += "],\n  \"exitCodes\": [";
    for (size_t i = 0; i < s.exitCodes.size(); ++i)
        j += std::string(i ? ", " : "") + "{\"code\": " + std::to_string(s.exitCodes[i].first) +
             ", \"desktops\": " + std::to_string(s.exitCodes[i].second) + "}";
    j += "],\n  \"failedMost\": [";
    for (size_t i = 0; i < s.failedMost.size(); ++i)
        j += std::string(i ? ", " : "") + "{\"code\": " + std::to_string(s.failedMost[i].first) +
             ", \"desktops\": " + std::to_string(s.failedMost[i].second) + "}";
    j += "],\n  \"chartSerials\": [";
    for (size_t i = 0; i < s.chartSerials.size(); ++i)
        j += std::string(i ? ", " : "") + JsonSerial(s.chartSerials[i]);
    j += "],\n  \"days\": [";
    for (size_t day = 0; day < s.reporting.size(); ++day) {
        j += std::string(day ? "," : "") + "\n    {\"day\": \"" +
             DayText(s.firstDay + static_cast<long long>(day)) +
             "\", \"reporting\": " + std::to_string(s.reporting[day]) + ", \"onSerial\": [";
        for (size_t i = 0; i < s.daily.size(); ++i)
            j += std::string(i ? ", " : "") + std::to_string(s.daily[i][day]);
        j += "]}";
    }
    j += "]";
    if (s.hasPlan) {
        const RolloutState& r = s.rollout;
        j += ",\n  \"rollout\": {\"serial\": \"" + std::to_string(s.plan.serial) +
             "\", \"listPath\": " + JsonString(listName);
        if (s.plan.hasRollout)
            j += ", \"start\": \"" + rollout::UtcText(s.plan.rollout.start) +
                 "\", \"days\": " + std::to_string(s.plan.rollout.days);
        j += ", \"planned\": " + Number(r.planned, "%.4f") +
             ", \"reporting\": " + std::to_string(r.reporting) +
             ", \"onSerial\": " + std::to_string(r.onSerial) +
             ", \"due\": " + std::to_string(r.due) +
             ", \"dueOnSerial\": " + std::to_string(r.dueOnSerial) +
             ", \"heldBack\": " + std::to_string(r.heldBack) + "}";
    }
    return j + "\n}\n";
}

std::string HtmlPage(const Summary& s, const std::string& listName) {
    std::string h = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                    "<title>Pass reports</title><style>";
    h += kStyle;
    h += "</style></head>\n<body>\n<h1>Pass reports</h1>\n<p id=\"summary\">";
    if (s.desktops)
        h += std::to_string(s.desktops) + " desktops reported from " +
             rollout::UtcText(s.firstTime) + " to " + rollout::UtcText(s.lastTime) +
             "; the last report of each counts.";
    else
        h += "No pass reports.";
    h += "</p>\n";
    if (s.hasPlan) {
        const RolloutState& r = s.rollout;
        std::string plan = "no rollout: every desktop takes it at once";
        if (s.plan.hasRollout)
            plan = Number(100 * r.planned, "%.1f") + " % of desktops now (from " +
                   rollout::UtcText(s.plan.rollout.start) + " over " +
                   std::to_string(s.plan.rollout.days) + " days)";
        h += "<section id=\"rollout\"><h2>Rollout of serial " + std::to_string(s.plan.serial) +
             (listName.empty() ? "" : " (" + HtmlEscaped(listName) + ")") +
             "</h2><table><tr><th>plan</th><td>" + HtmlEscaped(plan) +
             "</td></tr><tr><th>reporting desktops</th><td>" + std::to_string(r.reporting) +
             "</td></tr><tr><th>on serial " + std::to_string(s.plan.serial) + "</th><td>" +
             std::to_string(r.onSerial) + " (" + HtmlEscaped(Percent(r.onSerial, r.reporting)) +
             ")</td></tr><tr><th>due by their bucket</th><td>" + std::to_string(r.due) +
             "</td></tr><tr><th>due, not yet on it</th><td>" +
             std::to_string(r.due - r.dueOnSerial) +
             "</td></tr><tr><th>held back (their turn to come)</th><td>" +
             std::to_string(r.heldBack) + "</td></tr></table></section>\n";
    }
    h += "<h2>Desktops per installed serial, day by day</h2>\n" + SerialsChart(s) +
         "<ul class=\"legend\">";
    for (size_t i = 0; i < s.chartSerials.size(); ++i)
        h += std::string("<li><span class=\"swatch\" style=\"background:") + SeriesColour(s, i) +
             "\"></span>" +
             (s.chartSerials[i].has ? "serial " + SerialName(s.chartSerials[i]) : "no release") +
             "</li>";
    h += "</ul>\n<p class=\"note\">At each day's end (UTC): a desktop counts from its first "
         "report on, at the serial of its last report up to then.</p>\n";
    if (s.otherSerials)
        h += "<p>" + std::to_string(s.otherSerials) + " more serials not drawn.</p>\n";
    size_t shown = 0;
    h += "<h2>Exit codes of the last pass</h2>\n" + ExitCodesChart(s, shown);
    if (shown < s.exitCodes.size())
        h += "<p>" + std::to_string(s.exitCodes.size() - shown) +
             " more exit codes not drawn.</p>\n";
    h += "<h2>Installed serials</h2>\n<table id=\"serials\"><tr><th>serial</th><th>desktops</th>"
         "<th>share</th></tr>";
    for (const auto& e : s.serials)
        h += "<tr><td>" + SerialName(e.first) + "</td><td>" + std::to_string(e.second) +
             "</td><td>" + HtmlEscaped(Percent(e.second, s.desktops)) + "</td></tr>";
    h += "</table>\n<h2>Failed most</h2>\n<table id=\"failed\"><tr><th>exit code</th>"
         "<th>desktops</th></tr>";
    for (size_t i = 0; i < s.failedMost.size() && i < 10; ++i)
        h += "<tr><td>" + std::to_string(s.failedMost[i].first) + "</td><td>" +
             std::to_string(s.failedMost[i].second) + "</td></tr>";
    return h + "</table>\n</body></html>\n";
}

} // namespace passreport
