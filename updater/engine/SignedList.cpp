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
                                  CSigningKey& key, const SignedListSource& source) {
    const std::string& listPath = source.listPath;
    const std::string& serialName = source.serialName;
    if (!key.Verify(list, signature))
        return Refused(FormatText("signature(%s.sig) does not verify, EC=%d", listPath.c_str(),
                                  static_cast<int>(::GetLastError())));

    unsigned long long serial = 0;
    if (versionlist::FindSerial(list, serial) != versionlist::SERIAL_FOUND)
        return Refused(FormatText("signed version list(%s) has no serial", listPath.c_str()));
    std::string builtFor;
    if (!versionlist::FindComment(list, "list", builtFor) ||
        versionlist::TrimmedBlanks(builtFor) != versionlist::TrimmedBlanks(listPath))
        return Refused(FormatText("signed version list(%s) was built for list(%s)",
                                  listPath.c_str(), builtFor.c_str()));
    std::string expires;
    if (versionlist::FindComment(list, "expires", expires)) {
        long long expiry = 0;
        if (!versionlist::ParseUtcTime(expires, expiry))
            return Refused(FormatText("signed version list(%s) has an unreadable expiry(%s)",
                                      listPath.c_str(), expires.c_str()));
        if (source.now >= expiry)
            return Refused(FormatText("signed version list(%s) expired at %s", listPath.c_str(),
                                      expires.c_str()));
    }
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
