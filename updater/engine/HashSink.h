#pragma once
// A module's bytes hashed on their way to another sink: the transfer fails,
// as a cut one does, when they do not have the SHA-256 the list gives.

#include "Crypto.h"
#include "DownloadSink.h"

#include <string>

class CHashSink : public IDownloadSink {
public:
    // With no inner sink the bytes are only hashed.
    CHashSink(const std::string& listedSha256, IDownloadSink* inner = nullptr);
    Win32Result Add(const char* data, DWORD size) override;
    Win32Result Finish() override;

    // Known once the data has ended; "unknown" where no digest could be had.
    const std::string& Received() const { return m_received; }
    bool Refused() const { return m_refused; }

private:
    CSha256 m_sha;
    IDownloadSink* m_inner;
    std::string m_listed;
    std::string m_received;
    bool m_hashing = false;
    bool m_refused = false;
};
