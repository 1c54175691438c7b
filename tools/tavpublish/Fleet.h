#pragma once
// The desktops as their pass reports show them: the last report of each, and
// the serial each was on at the end of every day it reported. Reports may
// come in any order (rotated logs given newest first); memory grows with the
// desktops and the days each reported on, never with the lines read.

#include "ReportLine.h"
#include "Rollout.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace passreport {

// An installed serial, or none.
struct SerialKey {
    bool has = false;
    uint64_t serial = 0;
    bool operator==(const SerialKey& o) const { return has == o.has && serial == o.serial; }
    bool operator<(const SerialKey& o) const { return has != o.has ? !has : serial < o.serial; }
};

// What a list says of its release, for the rollout's plan against the fleet.
struct ListPlan {
    uint64_t serial = 0;
    std::string listPath; // its ";list=", empty when none: every desktop counts
    bool hasRollout = false;
    rollout::Rollout rollout;
};

struct RolloutState {
    double planned = 0; // the share of desktops the plan has reached, 0 to 1
    size_t reporting = 0, onSerial = 0;
    // Desktops whose bucket's turn has come (or that have no release, and take
    // it at once), and of those the ones on the serial; held back: the
    // others not on it, whose turn has not come.
    size_t due = 0, dueOnSerial = 0, heldBack = 0;
};

struct Summary {
    size_t desktops = 0;
    long long firstTime = 0, lastTime = 0;
    std::vector<std::pair<SerialKey, size_t>> serials;   // by serial, last reports
    std::vector<std::pair<uint32_t, size_t>> exitCodes;  // by code, last reports
    std::vector<std::pair<uint32_t, size_t>> failedMost; // codes other than 0, most first
    // Days since 1970 from firstDay on: the desktops that reported that day,
    // and for each chart serial the desktops on it at the day's end (a
    // desktop counts from its first report on, at the serial of its last
    // report up to that day).
    long long firstDay = 0;
    std::vector<size_t> reporting;
    std::vector<SerialKey> chartSerials;    // at most kChartSerials, by serial
    std::vector<std::vector<size_t>> daily; // [chart serial][day]
    size_t otherSerials = 0;                // serials left out of the chart
    bool hasPlan = false;
    ListPlan plan;
    RolloutState rollout;
};

// The chart keeps the serials most desktop-days were on.
const size_t kChartSerials = 24;

class Fleet {
public:
    // plan: the list the rollout figures are for; null for none.
    explicit Fleet(const ListPlan* plan);

    void Add(const Report& report);
    Summary Summarize(long long now) const;

private:
    struct Day {
        uint64_t serial;
        uint32_t time; // of the day's last report
        bool hasSerial;
    };
    struct Desktop {
        long long time = -1; // of the last report
        uint64_t serial = 0;
        bool hasSerial = false;
        bool onList = true; // reports for the plan's list path
        int16_t bucket = -1;
        uint32_t exitCode = 0;
        std::vector<Day> days; // by day, one each
    };
    struct IdHash {
        size_t operator()(const std::pair<uint64_t, uint64_t>& id) const {
            return static_cast<size_t>(id.first ^ (id.second * 0x9e3779b97f4a7c15ULL));
        }
    };

    RolloutState RolloutOf(long long now) const;

    bool hasPlan_;
    ListPlan plan_;
    std::unordered_map<std::pair<uint64_t, uint64_t>, Desktop, IdHash> desktops_;
};

} // namespace passreport
