#include "TraceBase.h"

#include <cstring>

CTraceBase::CTraceBase() : m_nTraceLevel(0), m_pLogFile(nullptr) {
    std::memset(m_szClassName, 0, sizeof(m_szClassName));
}
