#include "DownloadSink.h"

Win32Result CMemorySink::Add(const char* data, DWORD size) {
    if (size > m_limit - m_bytes.size())
        return Win32Result::Failed("size limit", ERROR_FILE_TOO_LARGE);
    m_bytes.append(data, size);
    return Win32Result();
}

Win32Result CSizeSink::Add(const char* data, DWORD size) {
    if (size > m_size - m_received)
        return Win32Result::Failed("size limit", ERROR_FILE_TOO_LARGE);
    m_received += size;
    return m_inner ? m_inner->Add(data, size) : Win32Result();
}

Win32Result CSizeSink::Finish() {
    if (m_inner) {
        const Win32Result finished = m_inner->Finish();
        if (!finished.Ok())
            return finished;
    }
    return m_received == m_size ? Win32Result()
                                : Win32Result::Failed("size limit", ERROR_HANDLE_EOF);
}
