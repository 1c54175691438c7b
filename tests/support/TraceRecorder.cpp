#include "TraceRecorder.h"

#include "TraceObserver.h"

#include <mutex>
#include <utility>

namespace {
std::mutex g_mutex;
std::vector<std::pair<int, std::string>> g_entries; // level, text

std::vector<std::pair<int, std::string>> Entries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_entries;
}
} // namespace

TraceRecorder::TraceRecorder() {
    Clear();
    SetTraceObserver([](const CTraceBase*, int level, const char* text) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_entries.emplace_back(level, text);
    });
}

TraceRecorder::~TraceRecorder() {
    SetTraceObserver(nullptr);
}

std::vector<std::string> TraceRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const auto& e : Entries())
        texts.push_back(e.second);
    return texts;
}

bool TraceRecorder::Has(int level, const std::string& text, bool prefix) const {
    for (const auto& e : Entries())
        if (e.first == level && (prefix ? e.second.rfind(text, 0) == 0 : e.second == text))
            return true;
    return false;
}

void TraceRecorder::Clear() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_entries.clear();
}

std::string TraceRecorder::Dump() const {
    std::string out;
    for (const auto& e : Entries())
        out += "  [" + std::to_string(e.first) + "] " + e.second + "\n";
    return out;
}
