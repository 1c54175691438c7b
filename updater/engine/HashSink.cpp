#include "HashSink.h"

namespace {
// Shown where a digest could not be had.
const char kUnknownHash[] = "unknown";
} // namespace

CHashSink::CHashSink(const std::string& listedSha256, IDownloadSink* inner)
    : m_inner(inner), m_listed(listedSha256) {
    m_hashing = m_sha.Begin();
}

Win32Result CHashSink::Add(const char* data, DWORD size) {
    if (m_hashing)
        m_hashing = m_sha.Add(data, size);
    return m_inner ? m_inner->Add(data, size) : Win32Result();
}

Win32Result CHashSink::Finish() {
    if (m_inner) {
        const Win32Result finished = m_inner->Finish();
        if (!finished.Ok())
            return finished;
    }
    if (!m_hashing || !m_sha.Finish(m_received))
        m_received = kUnknownHash;
    m_refused = m_received != m_listed;
    return m_refused ? Win32Result::Failed("SHA-256", ERROR_INVALID_DATA) : Win32Result();
}
