#include "FormatText.h"
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
    std::string text = FormatTextV(format, args);
    va_end(args);
    observer(this, level, text.c_str());
}
