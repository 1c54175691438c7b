#pragma once
// Where a transfer's body goes. The transfer hands each block over as it
// arrives and says when the data has ended; what the bytes become (a partial
// file, a buffer of limited size, with a size kept to on the way) is the
// sink's to decide.

#include "PartialFile.h"
#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <atomic>
#include <string>

class IDownloadSink {
public:
    // A failure stops the transfer and fails the download; a limit that is
    // passed fails the read (InternetReadFile) with ERROR_FILE_TOO_LARGE, a
    // body that ends short of its size with ERROR_HANDLE_EOF.
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
// the data ends; its owner commits it. A large file is flushed as it grows,
// by a thread of the sink while the transfer goes on, so the disk writes it
// beside the network rather than all after it, and the flush before the swap
// finds little left. A failed flush fails the transfer as a failed write does.
class CFileSink : public IDownloadSink {
public:
    // Written since the last flush, after which the next one starts.
    static const DWORD kFlushEvery = 32 << 20;

    explicit CFileSink(CPartialFile& file, DWORD flushEvery = kFlushEvery)
        : m_file(file), m_flushEvery(flushEvery) {}
    CFileSink(const CFileSink&) = delete;
    CFileSink& operator=(const CFileSink&) = delete;
    // Waits for a flush under way.
    ~CFileSink() { StopFlusher(); }
    Win32Result Add(const char* data, DWORD size) override;
    Win32Result Finish() override;

private:
    // False while the flush before is still under way.
    bool StartFlush();
    void StopFlusher();
    static DWORD WINAPI Flusher(void* sink);

    CPartialFile& m_file;
    const DWORD m_flushEvery;
    DWORD m_unflushed = 0;
    unique_handle m_flusher;
    unique_handle m_go;   // a flush (or the end) for the flusher
    unique_handle m_done; // the flush has ended
    bool m_flushing = false;
    std::atomic<bool> m_stop{false}; // may be set while the flusher wakes
    // The first failure, written or flushed; every later step gives it.
    Win32Result m_failed;
    // The flusher's: read once it has signalled m_done or ended.
    Win32Result m_flushed;
};

// Exactly the listed number of bytes, on their way to another sink or to none:
// the transfer stops as soon as it passes the size, and fails when it ends
// short of it. Not exact: at most that many, a bound.
class CSizeSink : public IDownloadSink {
public:
    explicit CSizeSink(unsigned long long size, IDownloadSink* inner = nullptr, bool exact = true)
        : m_size(size), m_inner(inner), m_bExact(exact) {}
    Win32Result Add(const char* data, DWORD size) override;
    Win32Result Finish() override;

private:
    unsigned long long m_size;
    unsigned long long m_received = 0;
    IDownloadSink* m_inner;
    bool m_bExact;
};
