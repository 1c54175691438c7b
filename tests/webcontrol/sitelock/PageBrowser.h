#pragma once
// A browser that knows only the address of its page, as a page's site hands
// it out for SID_SWebBrowserApp.

#include <windows.h>
#include <exdisp.h>

#ifdef __cplusplus
extern "C" {
#endif

// A new object with one reference, or null when out of memory.
IWebBrowser2* NewPageBrowser(const wchar_t* url);

#ifdef __cplusplus
}
#endif
