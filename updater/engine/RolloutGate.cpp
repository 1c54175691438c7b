#include "RolloutGate.h"

#include "FormatText.h"
#include "Rollout.h"
#include "RolloutStore.h"
#include "VersionList.h"

#include <optional>

Refusal CRolloutGate::TurnOf(const std::string& list, const std::string& listPath,
                             long long& turn) {
    // The machine's bucket is drawn only once a list stages a release.
    std::string staged;
    if (!versionlist::FindComment(list, "rollout", staged))
        return Refusal();
    rollout::Rollout rollout;
    if (!rollout::Parse(staged, rollout))
        return Refusal::Because(
            FormatText("signed version list(%s) has an unreadable rollout", listPath.c_str()));
    turn = rollout::TurnOf(rollout, Bucket());
    return Refusal();
}

bool CRolloutGate::HoldBack(const std::vector<CSigningKey*>& keys, unsigned long long serial,
                            long long turn, SignedListBytes& taken) {
    SignedListBytes installed;
    // A desktop without a release in place takes the newest at once.
    if (!m_installed.Read(keys, installed).Ok())
        return false;
    m_trace.Trace(TRACE_WARNING,
                  "GetVersionInfo : rollout of serial %s reaches this desktop at %s; the "
                  "installed release (serial %s) stays",
                  std::to_string(serial).c_str(), rollout::UtcText(turn).c_str(),
                  std::to_string(installed.serial).c_str());
    taken = installed;
    return true;
}

unsigned CRolloutGate::Bucket() {
    std::optional<unsigned> bucket;
    if (ReadRolloutBucket(bucket).Ok() && bucket)
        return *bucket;
    // Drawn once and kept: the machine's place stays where it was.
    unsigned drawn = 0;
    if (!RandomBytes(&drawn, sizeof(drawn)).Ok())
        drawn = ::GetTickCount();
    drawn %= 10000;
    KeepRolloutBucket(drawn);
    return drawn;
}
