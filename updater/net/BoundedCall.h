#pragma once
// A library call that may block past every time-out the library was given,
// run on a thread of its own and waited for only so long.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>
#include <wininet.h>

#include <functional>

struct BoundedCall {
    unique_hinternet handle;
    Win32Result failure; // the call, named, with its error when it gave no handle
    bool finished;       // false: still running, given up with ERROR_INTERNET_TIMEOUT
};

// A call given up keeps what it was given: it must hold no reference to
// anything that goes away, and the caller must stop using the connection it
// runs on. A handle it opens after that is closed.
BoundedCall CallWithin(DWORD milliseconds, const char* name, std::function<HINTERNET()> call);
