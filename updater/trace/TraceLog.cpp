// The log of the Windows program.
#include "FormatText.h"
#include "LogFile.h"
#include "TraceBase.h"

namespace {
const char kDefaultPath[] = "%ProgramData%\\Tav\\TavUpdate.log";
} // namespace

CTraceBase::~CTraceBase() {
    delete m_pLogFile; // every line went out whole when it was written
}

void CTraceBase::WriteTrace(int level, const char* format, va_list args) {
    if (!m_pLogFile)
        return;
    try {
        m_pLogFile->Write(m_szClassName, level, FormatTextV(format, args));
    } catch (...) {
        // Out of memory for the text: the log never fails a pass.
    }
}

void CTraceBase::OpenLog(const char*) {
    if (m_pLogFile)
        return;
    try {
        const LogPolicy policy = ReadLogPolicy(
            policy::kUpdaterTraceLevel, policy::kUpdaterTraceFile, ExpandLogPath(kDefaultPath));
        if (policy.level == 0)
            return;
        m_pLogFile = new CLogFile(policy.path);
        m_nTraceLevel = policy.level;
    } catch (...) {
    }
}
