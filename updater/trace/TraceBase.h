#pragma once
// Common base of the update manager and the downloader: a class name, a trace
// level and a log stream. Trace output is switched off in the shipped program:
// Trace and OpenLog do nothing and no log file is ever created.

#include <cstdarg>
#include <cstdio>

class CTraceBase {
public:
    CTraceBase();
    virtual ~CTraceBase();

    // The sink of one message; nothing in the program calls it.
    virtual void WriteTrace(int level, const char* format, va_list args);

    void Trace(int level, const char* format, ...);
    void OpenLog(const char* fileName);

    const char* ClassName() const { return m_szClassName; }

protected:
    char m_szClassName[20];
    int m_nTraceLevel;
    FILE* m_pLogFile;
};

// Trace levels.
enum { TRACE_ERROR = 1, TRACE_WARNING = 2, TRACE_INFO = 3, TRACE_DETAIL = 4 };
