#pragma once
// Whether a request that was sent went through a proxy: the library's own
// word on its route, as only it knows where the system's settings (bypass
// list, automatic configuration) sent it. A proxy login answers a 407 only
// then; anything reached directly that asks for one gets none.

#include <windows.h>
#include <wininet.h>

inline bool WentThroughProxy(HINTERNET request) {
    DWORD flags = 0;
    DWORD size = sizeof(flags);
    return ::InternetQueryOptionA(request, INTERNET_OPTION_REQUEST_FLAGS, &flags, &size) &&
           (flags & INTERNET_REQFLAG_VIA_PROXY);
}
