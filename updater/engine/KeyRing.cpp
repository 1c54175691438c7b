#include "KeyRing.h"

#include "KeyRingStore.h"
#include "VersionList.h"

Refusal CKeyRing::ImportConfigured() {
    if (m_configuredKey.Usable())
        return Refusal();
    return m_configuredKey.Import(m_configured);
}

void CKeyRing::Load(const std::string& listName) {
    m_keys.assign(1, &m_configuredKey);
    m_strCurrent = m_configured;
    m_strNext.clear();
    std::string kept;
    if (!ReadListKeys(listName, kept).Ok() || kept.empty())
        return;
    // "<INI key>;<current>;<announced>": a new INI key takes the trust back.
    const size_t first = kept.find(';'), second = kept.find(';', first + 1);
    if (first == std::string::npos || second == std::string::npos ||
        kept.substr(0, first) != m_configured)
        return;
    const std::string current = kept.substr(first + 1, second - first - 1);
    const std::string next = kept.substr(second + 1);
    if (current != m_configured && m_currentKey.Import(current).Ok()) {
        m_keys[0] = &m_currentKey;
        m_strCurrent = current;
    }
    if (!next.empty() && m_nextKey.Import(next).Ok()) {
        m_keys.push_back(&m_nextKey);
        m_strNext = next;
    }
}

void CKeyRing::Accept(CTraceBase& trace, const std::string& list, size_t signer) {
    // A list signed by the announced key retires the one before it.
    std::string current = signer == 0 ? m_strCurrent : m_strNext;
    std::string next = signer == 0 ? m_strNext : std::string();
    std::string announced;
    if (versionlist::FindComment(list, "next-key", announced) &&
        (announced = versionlist::TrimmedBlanks(announced)) != current) {
        CSigningKey probe;
        const Refusal imported = probe.Import(announced);
        if (imported.Ok())
            next = announced;
        else
            trace.Trace(TRACE_ERROR, "GetVersionInfo : ERROR, announced key unusable : %s",
                        imported.Reason().c_str());
    }
    m_strAccepted.clear();
    m_pszChange = nullptr;
    if (current != m_strCurrent || next != m_strNext) {
        m_strAccepted = m_configured + ";" + current + ";" + next;
        m_pszChange = signer == 0 ? "the next key announced"
                                  : "signed by the next key, the one before retired";
    }
}

void CKeyRing::Forget() {
    m_pszChange = nullptr;
}

Win32Result CKeyRing::Keep(CTraceBase& trace, const std::string& listName,
                           const std::string& listPath) {
    if (!m_pszChange)
        return Win32Result();
    const Win32Result kept = KeepListKeys(listName, m_strAccepted);
    if (kept.Ok())
        trace.Trace(TRACE_INFO, "KeepVerifiedList : keys of list(%s) : %s", listPath.c_str(),
                    m_pszChange);
    m_pszChange = nullptr;
    return kept;
}
