#include "DownloadSink.h"

Win32Result CMemorySink::Add(const char* data, DWORD size) {
    if (size > m_limit - m_bytes.size())
        return Win32Result::Failed("InternetReadFile", ERROR_FILE_TOO_LARGE);
    m_bytes.append(data, size);
    return Win32Result();
}

Win32Result CSizeSink::Add(const char* data, DWORD size) {
    if (size > m_size - m_received)
        return Win32Result::Failed("InternetReadFile", ERROR_FILE_TOO_LARGE);
    m_received += size;
    return m_inner ? m_inner->Add(data, size) : Win32Result();
}

Win32Result CSizeSink::Finish() {
    if (m_inner) {
        const Win32Result finished = m_inner->Finish();
        if (!finished.Ok())
            return finished;
    }
    return m_received == m_size || !m_bExact
               ? Win32Result()
               : Win32Result::Failed("InternetReadFile", ERROR_HANDLE_EOF);
}

Win32Result CFileSink::Add(const char* data, DWORD size) {
    if (!m_failed.Ok())
        return m_failed;
    m_failed = m_file.Write(data, size);
    if (!m_failed.Ok())
        return m_failed;
    m_unflushed += size;
    if (m_unflushed >= m_flushEvery && StartFlush())
        m_unflushed = 0;
    return m_failed;
}

Win32Result CFileSink::Finish() {
    StopFlusher();
    return m_failed.Ok() ? m_file.Close() : m_failed;
}

bool CFileSink::StartFlush() {
    if (m_flushing) {
        // Never waited for: the transfer goes on and tries again later.
        if (::WaitForSingleObject(m_done.get(), 0) != WAIT_OBJECT_0)
            return false;
        m_flushing = false;
        if (!m_flushed.Ok()) {
            m_failed = m_flushed;
            return false;
        }
    }
    if (!m_flusher) {
        m_go.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr)); // auto-reset, unnamed
        m_done.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        // It only flushes: a small stack keeps the process's memory as it was.
        if (m_go && m_done)
            m_flusher.reset(::CreateThread(nullptr, 64 * 1024, Flusher, this,
                                           STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (!m_flusher)
            return false; // the flush in Close does it all
    }
    m_flushing = true;
    ::SetEvent(m_go.get());
    return true;
}

void CFileSink::StopFlusher() {
    if (!m_flusher)
        return;
    m_stop = true;
    ::SetEvent(m_go.get());
    ::WaitForSingleObject(m_flusher.get(), INFINITE);
    m_flusher.reset();
    m_flushing = false;
    if (m_failed.Ok())
        m_failed = m_flushed;
}

DWORD WINAPI CFileSink::Flusher(void* parameter) {
    CFileSink& sink = *static_cast<CFileSink*>(parameter);
    for (;;) {
        ::WaitForSingleObject(sink.m_go.get(), INFINITE);
        if (sink.m_stop)
            return 0;
        // The error is this thread's, read right after the flush.
        const Win32Result flushed = sink.m_file.Flush();
        if (!flushed.Ok())
            sink.m_flushed = flushed;
        ::SetEvent(sink.m_done.get());
    }
}
