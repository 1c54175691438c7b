// Signed version lists and modules listed with their SHA-256.
#include "AULMgr.h"

#include "Crypto.h"
#include "PartialFile.h"
#include "SerialStore.h"

namespace {

// Shown where a digest could not be had.
const char kUnknownHash[] = "unknown";
// Far above any real list; a server cannot make the pass read without end.
const DWORD kMaxListBytes = 4 << 20;
// A signature of the largest key accepted (4096 bits).
const DWORD kMaxSignatureBytes = 512;

// Checks a module's bytes against its listed SHA-256 as they arrive.
class CHashCheck : public IDownloadCheck {
public:
    explicit CHashCheck(const std::string& expected) : m_expected(expected) {
        m_hashing = m_sha.Begin();
    }
    bool Add(const char* data, DWORD size) override {
        if (m_hashing)
            m_hashing = m_sha.Add(data, size);
        return true;
    }
    bool Accept() override {
        m_decided = true;
        if (!m_hashing || !m_sha.Finish(m_received))
            m_received = kUnknownHash;
        return m_received == m_expected;
    }
    bool Refused() const { return m_decided && m_received != m_expected; }
    const std::string& Received() const { return m_received; }

private:
    CSha256 m_sha;
    std::string m_expected;
    std::string m_received;
    bool m_hashing = false;
    bool m_decided = false;
};

// Keeps the bytes of a list or a signature as they arrive, and stops the
// transfer past the size either can have, so a server cannot make the pass
// write without end. The checks work on these bytes, never on the file again.
class CReceivedBytes : public IDownloadCheck {
public:
    explicit CReceivedBytes(DWORD limit) : m_limit(limit) {}
    bool Add(const char* data, DWORD size) override {
        if (size > m_limit - bytes.size())
            return false;
        bytes.append(data, size);
        return true;
    }
    bool Accept() override { return true; }

    std::string bytes;

private:
    DWORD m_limit;
};

// The list and its signature as received, beside the local list; removed
// when the pass is done with them, whatever the outcome. Whatever lies there
// before is removed first: a file kept by a replace would keep its security.
struct CReceivedList {
    CReceivedList(std::string listPath, std::string signaturePath)
        : list(std::move(listPath)), signature(std::move(signaturePath)) {
        Remove();
    }
    ~CReceivedList() { Remove(); }
    void Remove() const {
        ::DeleteFileA(list.c_str());
        ::DeleteFileA(signature.c_str());
    }
    const std::string list, signature;
};

} // namespace

int CAULMgr::_GetSignedVersionInfo() {
    const UpdateConfig& c = m_config;
    CSigningKey key;
    std::string why;
    if (!key.Import(c.signingKey, why)) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, Signing Key unusable : %s", why.c_str());
        return 0;
    }

    // Nothing takes the local list's place before every check has passed.
    const CReceivedList onDisk{c.localVersionFile + ".new", c.localVersionFile + ".sig"};
    const std::string remoteSignature = c.remoteVersionFile + ".sig";
    const struct {
        const std::string& remote;
        const std::string& local;
    } files[] = {{c.remoteVersionFile, onDisk.list}, {remoteSignature, onDisk.signature}};
    CReceivedBytes received[2] = {CReceivedBytes(kMaxListBytes),
                                  CReceivedBytes(kMaxSignatureBytes)};
    for (size_t i = 0; i < 2; ++i) {
        // The signature over the same connection, right after the list.
        if (!m_downloader.DownloadFile(files[i].remote, files[i].local, 0, &received[i])) {
            Trace(TRACE_ERROR, "GetVersionInfo : DownloadFile(%s->%s) ERROR",
                  files[i].remote.c_str(), files[i].local.c_str());
            return 0;
        }
    }
    const std::string& list = received[0].bytes;
    if (!key.Verify(list, received[1].bytes)) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, signature(%s) does not verify, EC=%d",
              remoteSignature.c_str(), static_cast<int>(::GetLastError()));
        return 0;
    }

    unsigned long long serial = 0;
    if (versionlist::FindSerial(list, serial) != versionlist::SERIAL_FOUND) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, signed version list(%s) has no serial",
              c.remoteVersionFile.c_str());
        return 0;
    }
    const std::string name =
        SerialValueName(c.protocol, c.remoteAddress, static_cast<unsigned short>(c.remotePort),
                        c.remoteVersionFile);
    unsigned long long accepted = 0;
    const int kept = ReadAcceptedSerial(name, accepted);
    if (kept < 0) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, RegQueryValueEx(%s) failed, EC=%d",
              name.c_str(), static_cast<int>(::GetLastError()));
        return 0;
    }
    // An older list signed by the same key would undo the updates since.
    if (kept && serial < accepted) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, serial %s of %s is older than the accepted %s",
              std::to_string(serial).c_str(), c.remoteVersionFile.c_str(),
              std::to_string(accepted).c_str());
        return 0;
    }
    // Kept before the list is used, so no pass can act on a list whose serial
    // was not recorded.
    if ((!kept || serial > accepted) && !KeepAcceptedSerial(name, serial)) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, RegSetValueEx(%s) failed, EC=%d", name.c_str(),
              static_cast<int>(::GetLastError()));
        return 0;
    }
    // The verified bytes themselves, not the received file again: what lies on
    // disk could have changed since they were read.
    CPartialFile local;
    const char* failedCall = "CFile::Open";
    bool written = local.Open(c.localVersionFile);
    if (written) {
        failedCall = "CFile::Write";
        written = local.Write(list.data(), static_cast<DWORD>(list.size())) && local.Close() &&
                  local.Commit(&failedCall);
    }
    if (!written) {
        Trace(TRACE_ERROR, "GetVersionInfo : ERROR, %s(%s) failed, EC=%d", failedCall,
              c.localVersionFile.c_str(), static_cast<int>(::GetLastError()));
        return 0;
    }
    m_strVerifiedList = list;
    Trace(TRACE_INFO, "GetVersionInfo : signature(%s) OK, serial %s", remoteSignature.c_str(),
          std::to_string(serial).c_str());
    Trace(TRACE_INFO, "GetVersionInfo : DownloadFile(%s->%s) OK", c.remoteVersionFile.c_str(),
          c.localVersionFile.c_str());
    return 1;
}

void CAULMgr::_CompareModuleHash(int number, ModuleRecord& r) {
    // No server request: the listed digest alone says what the module must be.
    std::string local;
    const bool haveLocal = HashFile(r.localFile, local);
    r.download = haveLocal && local == r.sha256 ? 0 : 1;
    Trace(TRACE_INFO,
          "CompareVersionInfo : Module[%2d] : %s : Local SHA-256(%s) , Listed SHA-256(%s) -> "
          "Download =%d",
          number, r.localFile.c_str(), haveLocal ? local.c_str() : kUnknownHash, r.sha256.c_str(),
          r.download);
}

int CAULMgr::_DownloadCheckedFile(const ModuleRecord& r, DWORD size) {
    CHashCheck check(r.sha256);
    if (m_downloader.DownloadFile(r.remoteFile, r.localFile, size, &check))
        return 1;
    if (check.Refused())
        Trace(TRACE_ERROR,
              "DownloadNewFiles : ERROR, SHA-256 mismatch(%s) : received(%s) , listed(%s)",
              r.remoteFile.c_str(), check.Received().c_str(), r.sha256.c_str());
    return 0;
}
