#pragma once
// Where a transfer's body goes. The transfer hands each block over as it
// arrives and says when the data has ended; what the bytes become (a partial
// file, a buffer of limited size, with a size kept to on the way) is the
// sink's to decide.

#include "PartialFile.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>

class IDownloadSink {
public:
    // A failure stops the transfer and fails the download; a limit that is
    // passed fails with ERROR_FILE_TOO_LARGE.
    virtual Win32Result Add(const char* data, DWORD size) = 0;
    // The data has ended whole; a failure refuses what arrived.
    virtual Win32Result Finish() = 0;

protected:
    ~IDownloadSink() = default;
};

// The bytes kept in memory, up to a limit past which the transfer stops.
class CMemorySink : public IDownloadSink {
public:
    explicit CMemorySink(DWORD limit) : m_limit(limit) {}
    Win32Result Add(const char* data, DWORD size) override;
    Win32Result Finish() override { return Win32Result(); }
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    DWORD m_limit;
};

// The bytes written to an open partial file, which is flushed and closed when
// the data ends; its owner commits it.
class CFileSink : public IDownloadSink {
public:
    explicit CFileSink(CPartialFile& file) : m_file(file) {}
    Win32Result Add(const char* data, DWORD size) override { return m_file.Write(data, size); }
    Win32Result Finish() override { return m_file.Close(); }

private:
    CPartialFile& m_file;
};

// Exactly the listed number of bytes, on their way to another sink or to none:
// the transfer stops as soon as it passes the size, and fails when it ends
// short of it.
class CSizeSink : public IDownloadSink {
public:
    explicit CSizeSink(unsigned long long size, IDownloadSink* inner = nullptr)
        : m_size(size), m_inner(inner) {}
    Win32Result Add(const char* data, DWORD size) override;
    Win32Result Finish() override;

private:
    unsigned long long m_size;
    unsigned long long m_received = 0;
    IDownloadSink* m_inner;
};
