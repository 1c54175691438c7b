#pragma once
// A list may hold a desktop back until its turn in a staged rollout
// (";rollout="): before it, the pass keeps the installed release, as if the
// server still held it.

#include "Crypto.h"
#include "InstalledRelease.h"
#include "Refusal.h"
#include "SignedList.h"
#include "TraceBase.h"

#include <string>
#include <vector>

class CRolloutGate {
public:
    CRolloutGate(CTraceBase& trace, CInstalledRelease& installed)
        : m_trace(trace), m_installed(installed) {}

    // This desktop's turn for the list at listPath (unchanged when the list
    // stages no rollout); refused when the list's rollout cannot be read.
    Refusal TurnOf(const std::string& list, const std::string& listPath, long long& turn);
    // Before its turn for the list of that serial the installed release,
    // checked with the keys given, is the pass's (into taken); false when
    // there is none.
    bool HoldBack(const std::vector<CSigningKey*>& keys, unsigned long long serial, long long turn,
                  SignedListBytes& taken);

private:
    // This machine's place in staged rollouts, drawn once and kept.
    unsigned Bucket();

    CTraceBase& m_trace;
    CInstalledRelease& m_installed;
};
