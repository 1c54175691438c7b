#include "TraceBase.h"

// Off without a log: the text is then never formatted, so a call whose
// arguments do not match its format has no effect either.
void CTraceBase::Trace(int level, const char* format, ...) {
    if (!m_pLogFile || level < TRACE_ERROR || level > m_nTraceLevel)
        return;
    va_list args;
    va_start(args, format);
    WriteTrace(level, format, args);
    va_end(args);
}
