#include "InstalledRelease.h"

#include "FormatText.h"
#include "LocalFolder.h"
#include "ModuleOptions.h"
#include "PartialFile.h"
#include "SerialStore.h"

Win32Result CInstalledRelease::Keep(const SignedListBytes& taken) {
    const std::string& path = m_config.localVersionFile;
    const std::string folder = LocalFolderOf(path);
    Win32Result written = folder.empty() ? Win32Result() : MakeFolderChain(folder);
    if (written.Ok())
        written = ReplaceFileContent(path + ".sig", taken.signature);
    if (written.Ok())
        written = ReplaceFileContent(path, taken.list);
    if (written.Ok())
        written = KeepInstalledSerial(ListValueName(m_config), taken.serial);
    return written;
}

Refusal CInstalledRelease::Read(const std::vector<CSigningKey*>& keys, SignedListBytes& installed) {
    const std::string& path = m_config.localVersionFile;
    const Refusal notSigned = Refusal::Because("not signed by the key");
    std::string& list = installed.list;
    if (!ReadWholeFile(path, list, kMaxSignedListBytes).Ok() ||
        !ReadWholeFile(path + ".sig", installed.signature, kMaxSignatureBytes).Ok())
        return notSigned;
    bool verified = false;
    for (CSigningKey* key : keys)
        verified = verified || key->Verify(list, installed.signature).Ok();
    if (!verified)
        return notSigned;
    // What the version stage would check, but for its expiry: the release is
    // the one in place, and a list that ran out must still start its client.
    // Another channel's list, or one older than the release in place, is not.
    unsigned long long& serial = installed.serial;
    Refusal refused = CheckListHead(list, m_config.remoteVersionFile, 0, false, serial);
    std::optional<unsigned long long> kept;
    if (refused.Ok()) {
        const std::string name = ListValueName(m_config);
        const Win32Result read = ReadInstalledSerial(name, kept);
        if (!read.Ok())
            refused = Refusal::Because(FormatText("RegQueryValueEx(%s) failed, EC=%d", name.c_str(),
                                                  static_cast<int>(read.Error())));
        else if (kept && serial < *kept)
            refused = Refusal::Because("serial " + std::to_string(serial) +
                                       " is older than the installed " + std::to_string(*kept));
    }
    return refused.Ok() ? refused : Refusal::Because("refused : " + refused.Reason());
}

void CInstalledRelease::Use() {
    Drop();
    m_bInUse = true;
}

void CInstalledRelease::Hold(const std::vector<CSigningKey*>& keys) {
    SignedListBytes installed;
    const Refusal refused = Read(keys, installed);
    if (!refused.Ok()) {
        m_trace.Trace(TRACE_ERROR, "LaunchModule : ERROR, local version list(%s) %s",
                      m_config.localVersionFile.c_str(), refused.Reason().c_str());
        return;
    }
    size_t position = 0;
    std::string line;
    while (versionlist::ReadTextLine(installed.list, position, line)) {
        auto record = std::make_unique<ModuleRecord>();
        if (versionlist::ParseLine(m_trace, line, *record) && !record->sha256.empty())
            m_modules.push_back(std::move(record));
    }
    m_release.Reset(m_modules.size());
    // Only what the launch stage starts is hashed and held.
    for (size_t i = 0; i < m_modules.size(); ++i) {
        std::string digest;
        unsigned long long size = 0;
        if (HasUpdateOption(*m_modules[i], 'E'))
            m_release.CheckInstalled(i, *m_modules[i], &digest, &size);
    }
}

void CInstalledRelease::Drop() {
    m_modules.clear();
    m_release.Reset(0);
    m_bInUse = false;
}
