#pragma once
// A library call that may block past every time-out the library was given,
// run on a thread of its own and waited for only so long.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>
#include <wininet.h>

#include <functional>
#include <string>

struct BoundedCall {
    unique_hinternet handle;
    Win32Result failure;   // the call, named, with its error when it gave no handle
    bool finished = false; // false: still running, given up with ERROR_INTERNET_TIMEOUT
    // The server's last reply on the call's own thread when it failed for
    // it (the library keeps it per thread).
    std::string reply;
};

// A call given up keeps what it was given: it must hold no reference to
// anything that goes away, and the caller must stop using the connection it
// runs on. A handle it opens after that is closed.
BoundedCall CallWithin(DWORD milliseconds, const char* name, std::function<HINTERNET()> call);

// The calling thread's last server reply when the library gives it for the
// failure; empty otherwise.
std::string LastServerReply(const Win32Result& failure);
