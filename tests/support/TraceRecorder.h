#pragma once
// Records every Trace call of the program's objects while it lives (test
// builds only). Traces may come from a worker thread.

#include <mutex>
#include <string>
#include <vector>

struct TraceEntry {
    std::string source; // class name of the tracing object
    int level;
    std::string text;
};

class TraceRecorder {
public:
    TraceRecorder();
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    std::vector<TraceEntry> Entries() const;
    std::vector<std::string> Texts(int level = 0) const; // 0: every level
    bool Has(int level, const std::string& text) const;
    bool HasPrefix(int level, const std::string& prefix) const;
    int Count(const std::string& text) const;
    void Clear();
    std::string Dump() const; // for failure messages

private:
    static void Observe(const class CTraceBase* source, int level, const char* text);
    mutable std::mutex m_mutex;
    std::vector<TraceEntry> m_entries;
};
