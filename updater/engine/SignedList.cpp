#include "SignedList.h"

#include "Crypto.h"
#include "FormatText.h"
#include "SerialStore.h"
#include "VersionList.h"

namespace {

SignedListVerdict Refused(std::string why) {
    SignedListVerdict verdict;
    verdict.why = std::move(why);
    return verdict;
}

} // namespace

SignedListVerdict CheckSignedList(const std::string& list, const std::string& signature,
                                  CSigningKey& key, const std::string& listPath,
                                  const std::string& serialName) {
    if (!key.Verify(list, signature))
        return Refused(FormatText("signature(%s.sig) does not verify, EC=%d", listPath.c_str(),
                                  static_cast<int>(::GetLastError())));

    unsigned long long serial = 0;
    if (versionlist::FindSerial(list, serial) != versionlist::SERIAL_FOUND)
        return Refused(FormatText("signed version list(%s) has no serial", listPath.c_str()));
    unsigned long long accepted = 0;
    const int kept = ReadAcceptedSerial(serialName, accepted);
    if (kept < 0)
        return Refused(FormatText("RegQueryValueEx(%s) failed, EC=%d", serialName.c_str(),
                                  static_cast<int>(::GetLastError())));
    // An older list signed by the same key would undo the updates since.
    if (kept && serial < accepted)
        return Refused("serial " + std::to_string(serial) + " of " + listPath +
                       " is older than the accepted " + std::to_string(accepted));
    if ((!kept || serial > accepted) && !KeepAcceptedSerial(serialName, serial))
        return Refused(FormatText("RegSetValueEx(%s) failed, EC=%d", serialName.c_str(),
                                  static_cast<int>(::GetLastError())));

    SignedListVerdict verdict;
    verdict.accepted = true;
    verdict.serial = serial;
    return verdict;
}
