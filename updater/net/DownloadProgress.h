#pragma once
// Whoever shows a download's progress: the downloader calls it after every
// block of a file it shows, with the local path on the file's first block
// (empty on the others), the file's size (0 when the server announced none and
// none is listed) and its bytes so far (those an earlier pass kept included).

#include <windows.h>

#include <string>

class IDownloadProgress {
public:
    virtual void ShowProgress(std::string name, DWORD total, DWORD done) = 0;

protected:
    ~IDownloadProgress() = default;
};
