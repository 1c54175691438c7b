#include "TraceBase.h"
#include "TraceObserver.h"

#include <atomic>
#include <string>

namespace {
std::atomic<TraceObserver> g_observer{nullptr};
}

void SetTraceObserver(TraceObserver observer) {
    g_observer = observer;
}

void CTraceBase::Trace(int level, const char* format, ...) {
    TraceObserver observer = g_observer;
    if (!observer)
        return;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? n : 0, '\0');
    if (n > 0)
        std::vsnprintf(&text[0], n + 1, format, args);
    va_end(args);
    observer(this, level, text.c_str());
}
