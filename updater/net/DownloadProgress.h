#pragma once
// Whoever shows a download's progress: the downloader calls it after every
// block of a file whose size it was given, with the local path on the file's
// first block (empty on the others), the size and the bytes received so far.

#include <windows.h>

#include <string>

class IDownloadProgress {
public:
    virtual void ShowProgress(std::string name, DWORD total, DWORD done) = 0;

protected:
    ~IDownloadProgress() = default;
};
