#include "PassLock.h"

namespace {
const char kName[] = "Global\\TavUpdate.Pass";
}

bool CPassLock::Acquire(DWORD timeoutMs) {
    if (!m_mutex)
        m_mutex.reset(::CreateMutexA(nullptr, FALSE, kName));
    if (!m_mutex)
        return true;
    const DWORD waited = ::WaitForSingleObject(m_mutex.get(), timeoutMs);
    m_bHeld = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return m_bHeld;
}

void CPassLock::Release() {
    if (m_bHeld)
        ::ReleaseMutex(m_mutex.get());
    m_bHeld = false;
}
