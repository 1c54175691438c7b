#pragma once
// Common base of the update manager and the downloader: a class name, a trace
// level and a log. Trace output is off unless the machine's policy asks for a
// log (HKLM\SOFTWARE\Tav\TavUpdate, TraceLevel and TraceFile): then OpenLog
// opens the one file both classes append to, and Trace writes the calls up
// to that level. Without it no file is created and no text is formatted.

#include "TraceLevel.h"

#include <cstdarg>

class CLogFile;

class CTraceBase {
public:
    CTraceBase();
    virtual ~CTraceBase();
    CTraceBase(const CTraceBase&) = delete; // the log is owned once
    CTraceBase& operator=(const CTraceBase&) = delete;

    // The sink of one message: formats it into the log.
    virtual void WriteTrace(int level, const char* format, va_list args);

    void Trace(int level, const char* format, ...);
    // The policy names the file; the name given is not used.
    void OpenLog(const char* fileName);

protected:
    char m_szClassName[20];
    int m_nTraceLevel;
    CLogFile* m_pLogFile; // owned; null without a log
};
