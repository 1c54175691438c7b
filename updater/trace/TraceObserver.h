#pragma once
// Exists only in the test builds: every Trace call is formatted and handed to
// the observer, so tests can assert the program's own trace texts.

class CTraceBase;

using TraceObserver = void (*)(const CTraceBase* source, int level, const char* text);

void SetTraceObserver(TraceObserver observer);
