#include "SignedList.h"

#include "Crypto.h"
#include "FormatText.h"
#include "NetDownLoader.h"
#include "SerialStore.h"
#include "UpdateConfig.h"
#include "VersionList.h"

std::string ListValueName(const UpdateConfig& c) {
    // One value for the whole set of servers, named by its first: no mirror
    // can take a desktop back, and mirrors added after the first keep the
    // serial a desktop holds.
    return SerialValueName(c.protocol, ServerAddresses(c.remoteAddress).front(),
                           static_cast<unsigned short>(c.remotePort), c.remoteVersionFile);
}

Refusal FetchSignedList(CTraceBase& trace, CNetDownLoader& downloader, const std::string& listPath,
                        std::string& list, std::string& signature) {
    const std::string remoteSignature = listPath + ".sig";
    CMemorySink listSink(kMaxSignedListBytes), signatureSink(kMaxSignatureBytes);
    const struct {
        const std::string& remote;
        CMemorySink& sink;
    } files[] = {{listPath, listSink}, {remoteSignature, signatureSink}};
    for (const auto& f : files) {
        if (!downloader.ReadRemoteFile(f.remote, f.sink, 0, f.remote)) {
            const Refusal failed =
                Refusal::Because(FormatText("DownloadFile(%s) ERROR", f.remote.c_str()));
            trace.Trace(TRACE_ERROR, "GetVersionInfo : %s", failed.Reason().c_str());
            return failed;
        }
    }
    list = listSink.Bytes();
    signature = signatureSink.Bytes();
    return Refusal();
}

Refusal CheckListHead(const std::string& list, const std::string& listPath, long long now,
                      bool checkExpiry, unsigned long long& serial) {
    if (versionlist::FindSerial(list, serial) != versionlist::SERIAL_FOUND)
        return Refusal::Because(
            FormatText("signed version list(%s) has no serial", listPath.c_str()));
    std::string builtFor;
    if (!versionlist::FindComment(list, "list", builtFor) ||
        versionlist::TrimmedBlanks(builtFor) != versionlist::TrimmedBlanks(listPath))
        return Refusal::Because(FormatText("signed version list(%s) was built for list(%s)",
                                           listPath.c_str(), builtFor.c_str()));
    std::string expires;
    if (checkExpiry && versionlist::FindComment(list, "expires", expires)) {
        long long expiry = 0;
        if (!versionlist::ParseUtcTime(expires, expiry))
            return Refusal::Because(
                FormatText("signed version list(%s) has an unreadable expiry(%s)", listPath.c_str(),
                           expires.c_str()));
        if (now >= expiry)
            return Refusal::Because(FormatText("signed version list(%s) expired at %s",
                                               listPath.c_str(), expires.c_str()));
    }
    return Refusal();
}

Refusal CheckSignedList(const std::string& list, const std::string& signature,
                        const std::vector<CSigningKey*>& keys, const SignedListSource& source,
                        unsigned long long& serial, size_t& signer, bool& newer) {
    const std::string& listPath = source.listPath;
    const std::string& serialName = source.serialName;
    Win32Result verified = Win32Result::Failed("CryptVerifySignature", ERROR_INVALID_DATA);
    for (signer = 0; signer < keys.size(); ++signer)
        if ((verified = keys[signer]->Verify(list, signature)).Ok())
            break;
    if (!verified.Ok())
        return Refusal::Because(FormatText("signature(%s.sig) does not verify, EC=%d",
                                           listPath.c_str(), static_cast<int>(verified.Error())));

    const Refusal head = CheckListHead(list, listPath, source.now, true, serial);
    if (!head.Ok())
        return head;
    std::optional<unsigned long long> accepted;
    const Win32Result read = ReadAcceptedSerial(serialName, accepted);
    if (!read.Ok())
        return Refusal::Because(FormatText("RegQueryValueEx(%s) failed, EC=%d", serialName.c_str(),
                                           static_cast<int>(read.Error())));
    // An older list signed by the same key would undo the updates since.
    if (accepted && serial < *accepted)
        return Refusal::Because("serial " + std::to_string(serial) + " of " + listPath +
                                " is older than the accepted " + std::to_string(*accepted));
    newer = !accepted || serial > *accepted;
    return Refusal();
}

Refusal KeepAcceptedList(const std::string& serialName, unsigned long long serial, bool newer) {
    if (!newer)
        return Refusal();
    const Win32Result kept = KeepAcceptedSerial(serialName, serial);
    if (!kept.Ok())
        return Refusal::Because(FormatText("RegSetValueEx(%s) failed, EC=%d", serialName.c_str(),
                                           static_cast<int>(kept.Error())));
    return Refusal();
}
