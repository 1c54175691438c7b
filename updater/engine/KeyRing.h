#pragma once
// The keys a signed list may be signed with, per list: the configured
// "Signing Key", or once lists announced another (";next-key="), the current
// key and the one announced. A list signed by the announced key retires the
// one before it. What an accepted list leaves in trust is kept with its
// release: a release that does not go in retires no key its installed list
// needs.

#include "Crypto.h"
#include "Refusal.h"
#include "TraceBase.h"
#include "Win32Result.h"

#include <string>
#include <vector>

class CKeyRing {
public:
    // The configured key's base64 outlives the ring.
    explicit CKeyRing(const std::string& configured) : m_configured(configured) {}

    // The configured key, once; refused with why it cannot be used.
    Refusal ImportConfigured();
    // The keys trusted for the list of that value name: the configured one,
    // or the current and the announced one that lists left in trust.
    void Load(const std::string& listName);
    // The first is the current key.
    const std::vector<CSigningKey*>& Keys() const { return m_keys; }

    // The trust the accepted list leaves, signed by Keys()[signer]: an
    // announced key trusted too, the one before retired by a list signed with
    // the announced key. Traces an announced key that cannot be used.
    void Accept(CTraceBase& trace, const std::string& list, size_t signer);
    // No list accepted: nothing to keep.
    void Forget();
    // The trust of the accepted list kept for the list of that value name
    // (at listPath), once its release is in place; nothing when it changed
    // nothing.
    Win32Result Keep(CTraceBase& trace, const std::string& listName, const std::string& listPath);

private:
    const std::string& m_configured;
    CSigningKey m_configuredKey, m_currentKey, m_nextKey;
    std::vector<CSigningKey*> m_keys;
    // The base64 of the current and the announced key.
    std::string m_strCurrent, m_strNext;
    // "<configured>;<current>;<announced>" as the accepted list leaves them,
    // and what changed; null when nothing did.
    std::string m_strAccepted;
    const char* m_pszChange = nullptr;
};
