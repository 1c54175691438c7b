#include "TraceBase.h"

#include <cstring>

CTraceBase::CTraceBase() : m_nTraceLevel(0), m_pLogFile(nullptr) {
    std::memset(m_szClassName, 0, sizeof(m_szClassName));
}

CTraceBase::~CTraceBase() {
    if (m_pLogFile) {
        std::fflush(m_pLogFile);
        std::fclose(m_pLogFile);
    }
}

void CTraceBase::WriteTrace(int, const char*, va_list) {}

void CTraceBase::OpenLog(const char*) {}
