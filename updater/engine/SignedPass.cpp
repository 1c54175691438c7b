#include "SignedPass.h"

#include "FormatText.h"
#include "LocalFolder.h"
#include "ModuleOptions.h"
#include "PartialFile.h"
#include "Rollout.h"
#include "SerialStore.h"
#include "SignedList.h"

#include <ctime>

namespace {

// Far above any real list; a server cannot make the pass read without end.
const DWORD kMaxListBytes = 4 << 20;
// A signature of the largest key accepted (4096 bits).
const DWORD kMaxSignatureBytes = 512;

// The file a held module's name opens now: the loader's search or another
// current folder must not find a different one.
std::string FullPathOf(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return n > 0 && n < MAX_PATH ? std::string(full, n) : path;
}

} // namespace

int CSignedPass::ImportKey(const char* stage) {
    if (m_bKeyImported)
        return 1;
    const std::string why = m_signingKey.Import(*m_config.signingKey);
    if (!why.empty()) {
        m_trace.Trace(TRACE_ERROR, "%s : ERROR, Signing Key unusable : %s", stage, why.c_str());
        return 0;
    }
    m_bKeyImported = true;
    return 1;
}

int CSignedPass::GetVersionInfo() {
    const UpdateConfig& c = m_config;
    if (!ImportKey("GetVersionInfo"))
        return 0;
    // Both kept in memory: nothing takes the local list's place before every
    // check has passed, and the checks read no file that could change.
    const std::string remoteSignature = c.remoteVersionFile + ".sig";
    CMemorySink list(kMaxListBytes), signature(kMaxSignatureBytes);
    const struct {
        const std::string& remote;
        CMemorySink& sink;
    } files[] = {{c.remoteVersionFile, list}, {remoteSignature, signature}};
    for (const auto& f : files) {
        // The signature over the same connection, right after the list.
        if (!m_downloader.ReadRemoteFile(f.remote, f.sink, 0, f.remote)) {
            m_trace.Trace(TRACE_ERROR, "GetVersionInfo : DownloadFile(%s) ERROR", f.remote.c_str());
            return 0;
        }
    }
    m_bHeldBack = false;
    m_installedSerial.reset();
    m_pszKeysChange = nullptr;
    LoadKeys();
    SignedListSource source;
    source.listPath = c.remoteVersionFile;
    source.serialName = SerialName();
    source.now = static_cast<long long>(std::time(nullptr));
    unsigned long long serial = 0;
    size_t signer = 0;
    bool newer = false;
    long long turn = 0;
    std::string refused =
        CheckSignedList(list.Bytes(), signature.Bytes(), m_keys, source, serial, signer, newer);
    // The machine's bucket is drawn only once a list stages a release.
    std::string staged;
    rollout::Rollout rollout;
    if (refused.empty() && versionlist::FindComment(list.Bytes(), "rollout", staged)) {
        if (rollout::Parse(staged, rollout))
            turn = rollout::TurnOf(rollout, RolloutBucket());
        else
            refused = FormatText("signed version list(%s) has an unreadable rollout",
                                 source.listPath.c_str());
    }
    if (refused.empty() && turn > source.now && HoldBack(serial, turn)) {
        m_bListTaken = true;
        return 1;
    }
    if (refused.empty())
        refused = KeepTrust(list.Bytes(), signer, newer, serial);
    if (!refused.empty()) {
        m_trace.Trace(TRACE_ERROR, "GetVersionInfo : ERROR, %s", refused.c_str());
        return 0;
    }
    // The local list describes the installed release: it is replaced once
    // this list's release is in place.
    m_strVerifiedList = list.Bytes();
    m_strVerifiedSignature = signature.Bytes();
    m_nVerifiedSerial = serial;
    m_trace.Trace(TRACE_INFO, "GetVersionInfo : signature(%s) OK, serial %s",
                  remoteSignature.c_str(), std::to_string(serial).c_str());
    m_bListTaken = true;
    return 1;
}

bool CSignedPass::Admits(const ModuleRecord& r) {
    if (!r.sha256.empty() && r.size >= 0)
        return true;
    m_trace.Trace(
        TRACE_ERROR,
        "ParseVersionInfo : ERROR, no SHA-256 or size in a signed list, skipped : %s | %s",
        r.localFile.c_str(), r.remoteFile.c_str());
    return false;
}

void CSignedPass::BeginCompare(size_t moduleCount) {
    m_release.Reset(moduleCount);
    m_bReleaseFailed = false;
    m_bStartingInstalled = false;
}

void CSignedPass::CheckInstalled(size_t index, const ModuleRecord& r, std::string* localSha256,
                                 unsigned long long* localSize) {
    m_release.CheckInstalled(index, r, localSha256, localSize);
}

bool CSignedPass::EndCompare(const ModuleList& modules, bool complete) {
    if (m_bHeldBack) {
        // The installed release as it is: nothing fetched, nothing rewritten.
        for (const auto& r : modules)
            r->download = 0;
        return true;
    }
    if (!complete) {
        // A module that cannot go in keeps the whole release out.
        for (const auto& r : modules)
            r->download = 0;
        m_bReleaseFailed = true;
        return false;
    }
    for (const auto& r : modules)
        if (r->download)
            return true;
    return KeepVerifiedList();
}

bool CSignedPass::Install(const ModuleList& modules, unsigned long long* bytes) {
    // One release, all or nothing; the local list follows it.
    m_bReleaseFailed = !m_release.Install(modules, bytes);
    return !m_bReleaseFailed && KeepVerifiedList();
}

bool CSignedPass::KeepVerifiedList() {
    // With its signature, so that what a later pass reads back as the
    // installed release is checked again, not taken on trust.
    const std::string& path = m_config.localVersionFile;
    const std::string folder = LocalFolderOf(path);
    Win32Result written = folder.empty() ? Win32Result() : MakeFolderChain(folder);
    if (written.Ok())
        written = ReplaceFileContent(path + ".sig", m_strVerifiedSignature);
    if (written.Ok())
        written = ReplaceFileContent(path, m_strVerifiedList);
    if (written.Ok())
        written = KeepInstalledSerial(SerialName(), m_nVerifiedSerial);
    if (written.Ok())
        written = KeepKeys();
    if (written.Ok()) {
        m_installedSerial = m_nVerifiedSerial;
        m_trace.Trace(TRACE_INFO, "KeepVerifiedList : local version list(%s) OK", path.c_str());
        return true;
    }
    m_trace.Trace(TRACE_ERROR, "KeepVerifiedList : ERROR, %s(%s) failed, EC=%d",
                  written.FailedCall(), path.c_str(), static_cast<int>(written.Error()));
    return false;
}

bool CSignedPass::CheckedPath(size_t index, const ModuleRecord& r, const char* stage,
                              std::string& path) const {
    const CRelease& release = m_bStartingInstalled ? m_installedRelease : m_release;
    if (!release.IsVerified(index)) {
        m_trace.Trace(TRACE_ERROR, "%s : ERROR, %s not installed and checked : skipped", stage,
                      r.localFile.c_str());
        return false;
    }
    path = FullPathOf(r.localFile);
    return true;
}

const CSignedPass::ModuleList& CSignedPass::ModulesToStart(const ModuleList& listed) {
    m_installed.clear();
    m_installedRelease.Reset(0);
    // Held back, the installed release is checked as after one that did not go
    // in: a program the list forces was not hashed in the comparison.
    // So is it after a list refused or not had: a desktop with a release in
    // place starts that one's programs, not the default program.
    m_bStartingInstalled =
        m_bReleaseFailed || m_bHeldBack ||
        (!m_bListTaken &&
         ::GetFileAttributesA(m_config.localVersionFile.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!m_bStartingInstalled)
        return listed;
    HoldInstalledRelease();
    return m_installed;
}

void CSignedPass::HoldInstalledRelease() {
    // Without a list of its own the pass may not have read the keys yet.
    if (!m_bListTaken) {
        if (!ImportKey("LaunchModule"))
            return;
        LoadKeys();
    }
    std::string list, signature;
    unsigned long long serial = 0;
    const std::string refused = ReadInstalledList(list, signature, serial);
    if (!refused.empty()) {
        m_trace.Trace(TRACE_ERROR, "LaunchModule : ERROR, local version list(%s) %s",
                      m_config.localVersionFile.c_str(), refused.c_str());
        return;
    }
    size_t position = 0;
    std::string line;
    while (versionlist::ReadTextLine(list, position, line)) {
        auto record = std::make_unique<ModuleRecord>();
        if (versionlist::ParseLine(m_trace, line, *record) && !record->sha256.empty())
            m_installed.push_back(std::move(record));
    }
    m_installedRelease.Reset(m_installed.size());
    for (size_t i = 0; i < m_installed.size(); ++i) {
        std::string digest;
        unsigned long long size = 0;
        if (HasUpdateOption(*m_installed[i], 'E'))
            m_installedRelease.CheckInstalled(i, *m_installed[i], &digest, &size);
    }
}

std::string CSignedPass::ReadInstalledList(std::string& list, std::string& signature,
                                           unsigned long long& serial) {
    const std::string& path = m_config.localVersionFile;
    if (!ReadWholeFile(path, list, kMaxListBytes) ||
        !ReadWholeFile(path + ".sig", signature, kMaxSignatureBytes))
        return "not signed by the key";
    bool verified = false;
    for (CSigningKey* key : m_keys)
        verified = verified || key->Verify(list, signature).Ok();
    if (!verified)
        return "not signed by the key";
    // What the version stage would check, but for its expiry: the release is
    // the one in place, and a list that ran out must still start its client.
    // Another channel's list, or one older than the release in place, is not.
    std::string refused = CheckListHead(list, m_config.remoteVersionFile, 0, false, serial);
    std::optional<unsigned long long> installed;
    if (refused.empty()) {
        const Win32Result read = ReadInstalledSerial(SerialName(), installed);
        if (!read.Ok())
            refused = FormatText("RegQueryValueEx(%s) failed, EC=%d", SerialName().c_str(),
                                 static_cast<int>(read.Error()));
        else if (installed && serial < *installed)
            refused = "serial " + std::to_string(serial) + " is older than the installed " +
                      std::to_string(*installed);
    }
    return refused.empty() ? refused : "refused : " + refused;
}

void CSignedPass::LoadKeys() {
    const std::string& root = *m_config.signingKey;
    m_keys.assign(1, &m_signingKey);
    m_strCurrent = root;
    m_strNext.clear();
    std::string kept;
    if (!ReadListKeys(SerialName(), kept).Ok() || kept.empty())
        return;
    // "<INI key>;<current>;<announced>": a new INI key takes the trust back.
    const size_t first = kept.find(';'), second = kept.find(';', first + 1);
    if (first == std::string::npos || second == std::string::npos || kept.substr(0, first) != root)
        return;
    const std::string current = kept.substr(first + 1, second - first - 1);
    const std::string next = kept.substr(second + 1);
    if (current != root && m_currentKey.Import(current).empty()) {
        m_keys[0] = &m_currentKey;
        m_strCurrent = current;
    }
    if (!next.empty() && m_nextKey.Import(next).empty()) {
        m_keys.push_back(&m_nextKey);
        m_strNext = next;
    }
}

std::string CSignedPass::KeepTrust(const std::string& list, size_t signer, bool newer,
                                   unsigned long long serial) {
    // A list signed by the announced key retires the one before it.
    std::string current = signer == 0 ? m_strCurrent : m_strNext;
    std::string next = signer == 0 ? m_strNext : std::string();
    std::string announced;
    if (versionlist::FindComment(list, "next-key", announced) &&
        (announced = versionlist::TrimmedBlanks(announced)) != current) {
        CSigningKey probe;
        const std::string why = probe.Import(announced);
        if (why.empty())
            next = announced;
        else
            m_trace.Trace(TRACE_ERROR, "GetVersionInfo : ERROR, announced key unusable : %s",
                          why.c_str());
    }
    const std::string name = SerialName();
    if (newer) {
        const Win32Result kept = KeepAcceptedSerial(name, serial);
        if (!kept.Ok())
            return FormatText("RegSetValueEx(%s) failed, EC=%d", name.c_str(),
                              static_cast<int>(kept.Error()));
    }
    m_strKeptKeys.clear();
    m_pszKeysChange = nullptr;
    if (current != m_strCurrent || next != m_strNext) {
        m_strKeptKeys = *m_config.signingKey + ";" + current + ";" + next;
        m_pszKeysChange = signer == 0 ? "the next key announced"
                                      : "signed by the next key, the one before retired";
    }
    return std::string();
}

Win32Result CSignedPass::KeepKeys() {
    if (!m_pszKeysChange)
        return Win32Result();
    const Win32Result kept = KeepListKeys(SerialName(), m_strKeptKeys);
    if (kept.Ok())
        m_trace.Trace(TRACE_INFO, "KeepVerifiedList : keys of list(%s) : %s",
                      m_config.remoteVersionFile.c_str(), m_pszKeysChange);
    m_pszKeysChange = nullptr;
    return kept;
}

unsigned CSignedPass::RolloutBucket() {
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

bool CSignedPass::HoldBack(unsigned long long serial, long long turn) {
    std::string list, signature;
    unsigned long long installed = 0;
    // A desktop without a release in place takes the newest at once.
    if (!ReadInstalledList(list, signature, installed).empty())
        return false;
    m_trace.Trace(TRACE_WARNING,
                  "GetVersionInfo : rollout of serial %s reaches this desktop at %s; the "
                  "installed release (serial %s) stays",
                  std::to_string(serial).c_str(), rollout::UtcText(turn).c_str(),
                  std::to_string(installed).c_str());
    m_strVerifiedList = list;
    m_strVerifiedSignature = signature;
    m_nVerifiedSerial = installed;
    m_bHeldBack = true;
    return true;
}

std::string CSignedPass::SerialName() const {
    // One value for the whole set of servers, named by its first: no mirror
    // can take a desktop back, and mirrors added after the first keep the
    // serial a desktop holds.
    const UpdateConfig& c = m_config;
    return SerialValueName(c.protocol, ServerAddresses(c.remoteAddress).front(),
                           static_cast<unsigned short>(c.remotePort), c.remoteVersionFile);
}

void CSignedPass::EndPass() {
    m_release.Reset(0);
    m_installedRelease.Reset(0);
    m_installed.clear();
    m_bStartingInstalled = false;
    m_bListTaken = false;
}
