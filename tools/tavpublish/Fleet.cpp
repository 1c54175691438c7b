#include "Fleet.h"

#include <algorithm>
#include <map>

namespace passreport {

namespace {

long long DayOf(long long time) {
    return time / 86400; // times are never negative
}

struct SerialKeyHash {
    size_t operator()(const SerialKey& k) const {
        return static_cast<size_t>(k.serial * 0x9e3779b97f4a7c15ULL) ^ (k.has ? 1 : 0);
    }
};

} // namespace

Fleet::Fleet(const ListPlan* plan) : hasPlan_(plan != nullptr) {
    if (plan)
        plan_ = *plan;
}

void Fleet::Add(const Report& report) {
    Desktop& d = desktops_[{report.idHigh, report.idLow}];
    if (report.time >= d.time) {
        d.time = report.time;
        d.serial = report.serial;
        d.hasSerial = report.hasSerial;
        d.onList = plan_.listPath.empty() || report.listPath == plan_.listPath;
        d.bucket = static_cast<int16_t>(report.bucket);
        d.exitCode = report.exitCode;
    }
    // Logs come mostly in order: the report's day is usually the last one.
    const long long day = DayOf(report.time);
    const Day entry{report.serial, static_cast<uint32_t>(report.time), report.hasSerial};
    auto at = d.days.end();
    if (!d.days.empty() && DayOf(d.days.back().time) > day)
        at = std::lower_bound(d.days.begin(), d.days.end(), day,
                              [](const Day& x, long long v) { return DayOf(x.time) < v; });
    else if (!d.days.empty() && DayOf(d.days.back().time) == day)
        at = d.days.end() - 1;
    if (at != d.days.end() && DayOf(at->time) == day) {
        if (entry.time >= at->time)
            *at = entry;
    } else {
        d.days.insert(at, entry);
    }
}

RolloutState Fleet::RolloutOf(long long now) const {
    RolloutState s;
    const rollout::Rollout& r = plan_.rollout;
    if (!plan_.hasRollout || now >= r.start + static_cast<long long>(r.days) * 86400)
        s.planned = 1;
    else if (now >= r.start)
        s.planned = static_cast<double>(now - r.start) / (static_cast<double>(r.days) * 86400);
    for (const auto& entry : desktops_) {
        const Desktop& d = entry.second;
        if (!d.onList)
            continue;
        ++s.reporting;
        const bool on = d.hasSerial && d.serial == plan_.serial;
        // A desktop without a release takes the newest at once; one whose
        // bucket is unknown is not counted as due.
        const bool due =
            !plan_.hasRollout || !d.hasSerial ||
            (d.bucket >= 0 && rollout::TurnOf(r, static_cast<unsigned>(d.bucket)) <= now);
        s.onSerial += on ? 1 : 0;
        s.due += due ? 1 : 0;
        s.dueOnSerial += due && on ? 1 : 0;
        s.heldBack += !due && !on ? 1 : 0;
    }
    return s;
}

Summary Fleet::Summarize(long long now) const {
    Summary s;
    s.desktops = desktops_.size();
    s.hasPlan = hasPlan_;
    s.plan = plan_;
    if (hasPlan_)
        s.rollout = RolloutOf(now);
    if (desktops_.empty())
        return s;

    std::map<SerialKey, size_t> serials;
    std::map<uint32_t, size_t> codes;
    std::unordered_map<SerialKey, size_t, SerialKeyHash> desktopDays;
    long long firstDay = -1, lastDay = -1;
    s.firstTime = -1;
    for (const auto& entry : desktops_) {
        const Desktop& d = entry.second;
        ++serials[SerialKey{d.hasSerial, d.serial}];
        ++codes[d.exitCode];
        s.lastTime = std::max(s.lastTime, d.time);
        const long long first = static_cast<long long>(d.days.front().time);
        s.firstTime = s.firstTime < 0 ? first : std::min(s.firstTime, first);
        for (const Day& day : d.days)
            ++desktopDays[SerialKey{day.hasSerial, day.serial}];
        firstDay = firstDay < 0 ? DayOf(first) : std::min(firstDay, DayOf(first));
        lastDay = std::max(lastDay, DayOf(d.days.back().time));
    }
    s.serials.assign(serials.begin(), serials.end());
    s.exitCodes.assign(codes.begin(), codes.end());
    for (const auto& c : codes)
        if (c.first != 0)
            s.failedMost.push_back(c);
    std::stable_sort(s.failedMost.begin(), s.failedMost.end(),
                     [](const std::pair<uint32_t, size_t>& a,
                        const std::pair<uint32_t, size_t>& b) { return a.second > b.second; });

    std::vector<std::pair<SerialKey, size_t>> ranked(desktopDays.begin(), desktopDays.end());
    std::sort(ranked.begin(), ranked.end(),
              [](const std::pair<SerialKey, size_t>& a, const std::pair<SerialKey, size_t>& b) {
                  return a.second != b.second ? a.second > b.second : a.first < b.first;
              });
    if (ranked.size() > kChartSerials) {
        s.otherSerials = ranked.size() - kChartSerials;
        ranked.resize(kChartSerials);
    }
    for (const auto& r : ranked)
        s.chartSerials.push_back(r.first);
    std::sort(s.chartSerials.begin(), s.chartSerials.end());

    // Each day a desktop reported on starts a stretch at its serial that the
    // next such day ends: counted as differences, summed up day by day.
    const size_t days = static_cast<size_t>(lastDay - firstDay + 1);
    s.firstDay = firstDay;
    s.reporting.assign(days, 0);
    std::vector<std::vector<long long>> change(s.chartSerials.size(),
                                               std::vector<long long>(days + 1, 0));
    for (const auto& entry : desktops_) {
        const std::vector<Day>& list = entry.second.days;
        for (size_t i = 0; i < list.size(); ++i) {
            const size_t day = static_cast<size_t>(DayOf(list[i].time) - firstDay);
            ++s.reporting[day];
            const SerialKey key{list[i].hasSerial, list[i].serial};
            const auto chart = std::lower_bound(s.chartSerials.begin(), s.chartSerials.end(), key);
            if (chart == s.chartSerials.end() || !(*chart == key))
                continue;
            std::vector<long long>& c = change[static_cast<size_t>(chart - s.chartSerials.begin())];
            ++c[day];
            --c[i + 1 < list.size() ? static_cast<size_t>(DayOf(list[i + 1].time) - firstDay)
                                    : days];
        }
    }
    for (const std::vector<long long>& c : change) {
        std::vector<size_t> counts(days);
        long long running = 0;
        for (size_t day = 0; day < days; ++day)
            counts[day] = static_cast<size_t>(running += c[day]);
        s.daily.push_back(std::move(counts));
    }
    return s;
}

} // namespace passreport
