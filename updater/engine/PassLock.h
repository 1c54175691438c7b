#pragma once
// One update pass at a time on a machine, whoever started it (two pages, two
// tabs): a byte of a lock file in the system folder, where only
// administrators create files, locked by the worker once it has read its
// configuration and let go when its launch stage is done. The file allows
// administrators and the system alone, so no user can hold it, and no name a
// user made elsewhere stands in for it. A pass that ended without letting go
// (killed) loses the lock with its handle.

#include "UniqueHandle.h"

#include <windows.h>

class CPassLock {
public:
    // False while another pass holds the lock after the time-out. A lock
    // file that cannot be made at all (a process without administrator
    // rights) holds nobody up.
    bool Acquire(DWORD timeoutMs);
    void Release();

private:
    unique_hfile m_file;
    bool m_bHeld = false;
};
