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

Win32Result CTeeSink::Add(const char* data, DWORD size) {
    const Win32Result first = m_first.Add(data, size);
    return first.Ok() ? m_second.Add(data, size) : first;
}

Win32Result CTeeSink::Finish() {
    // The second (the file) is finished first, whatever the first (the check)
    // will say, so a refused file is a closed one.
    const Win32Result second = m_second.Finish();
    if (!second.Ok())
        return second;
    return m_first.Finish();
}
