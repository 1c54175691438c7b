#pragma once
// One update pass at a time on a machine, whoever started it (two pages, two
// tabs): a mutex in the global namespace, taken by the worker once it has read
// its configuration and given back when its launch stage is done. A pass that
// ended without giving it back (killed) leaves it abandoned, which counts as
// free.

#include "UniqueHandle.h"

#include <windows.h>

class CPassLock {
public:
    // False while another pass holds the lock after the time-out. A lock that
    // cannot be made at all (a name another user took first) holds nobody up.
    bool Acquire(DWORD timeoutMs);
    // On the thread that acquired it.
    void Release();

private:
    unique_handle m_mutex;
    bool m_bHeld = false;
};
