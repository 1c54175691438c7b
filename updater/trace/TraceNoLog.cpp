// The native tools write no log.
#include "TraceBase.h"

CTraceBase::~CTraceBase() {}

void CTraceBase::WriteTrace(int, const char*, va_list) {}

void CTraceBase::OpenLog(const char*) {}
