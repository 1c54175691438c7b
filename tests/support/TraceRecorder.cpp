#include "TraceRecorder.h"

#include "TraceBase.h"
#include "TraceObserver.h"

namespace {
TraceRecorder* g_active = nullptr;
std::mutex g_activeMutex;
} // namespace

TraceRecorder::TraceRecorder() {
    std::lock_guard<std::mutex> lock(g_activeMutex);
    g_active = this;
    SetTraceObserver(&TraceRecorder::Observe);
}

TraceRecorder::~TraceRecorder() {
    std::lock_guard<std::mutex> lock(g_activeMutex);
    SetTraceObserver(nullptr);
    g_active = nullptr;
}

void TraceRecorder::Observe(const CTraceBase* source, int level, const char* text) {
    std::lock_guard<std::mutex> lock(g_activeMutex);
    if (!g_active)
        return;
    std::lock_guard<std::mutex> entries(g_active->m_mutex);
    g_active->m_entries.push_back({source ? source->ClassName() : "", level, text});
}

std::vector<TraceEntry> TraceRecorder::Entries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

std::vector<std::string> TraceRecorder::Texts(int level) const {
    std::vector<std::string> texts;
    for (const TraceEntry& e : Entries())
        if (level == 0 || e.level == level)
            texts.push_back(e.text);
    return texts;
}

bool TraceRecorder::Has(int level, const std::string& text) const {
    for (const TraceEntry& e : Entries())
        if (e.level == level && e.text == text)
            return true;
    return false;
}

bool TraceRecorder::HasPrefix(int level, const std::string& prefix) const {
    for (const TraceEntry& e : Entries())
        if (e.level == level && e.text.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

int TraceRecorder::Count(const std::string& text) const {
    int n = 0;
    for (const TraceEntry& e : Entries())
        n += e.text == text;
    return n;
}

void TraceRecorder::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}

std::string TraceRecorder::Dump() const {
    std::string out;
    for (const TraceEntry& e : Entries())
        out += "  [" + e.source + " " + std::to_string(e.level) + "] " + e.text + "\n";
    return out;
}
