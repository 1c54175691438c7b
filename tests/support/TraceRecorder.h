#pragma once
// Records every Trace call of the program's objects while it lives (test
// builds only; one recorder at a time). Traces may come from a worker thread.

#include <string>
#include <vector>

class TraceRecorder {
public:
    TraceRecorder();
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    std::vector<std::string> Texts() const;
    // Whether a trace of the level has the text, or begins with it.
    bool Has(int level, const std::string& text, bool prefix = false) const;
    void Clear();
    std::string Dump() const; // for failure messages
};
