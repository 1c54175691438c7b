#pragma once
// A check of a download's bytes: it sees every block as it arrives (and may
// stop the transfer there), and the received file takes its target's place
// only when the check accepts it.

#include <windows.h>

class IDownloadCheck {
public:
    // False stops the transfer: the download fails.
    virtual bool Add(const char* data, DWORD size) = 0;
    virtual bool Accept() = 0;

protected:
    ~IDownloadCheck() = default;
};
