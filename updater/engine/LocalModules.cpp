#include "LocalModules.h"

#include "Elevation.h"
#include "FolderTrust.h"
#include "LocalFolder.h"
#include "PartialFile.h"
#include "TimeValue.h"
#include "UniqueHandle.h"

#include <aclapi.h>
#include <sddl.h>

#include <set>

std::optional<long long> LocalFileTime(const std::string& path) {
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA(path.c_str(), &data));
    time_t value = 0;
    if (!find || !TimeFromFileTime(data.ftLastWriteTime, &value))
        return std::nullopt;
    return value;
}

std::string FoldedPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    std::string folded = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
    // In the ANSI code page, double-byte characters whole.
    if (!folded.empty())
        ::CharUpperBuffA(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

std::string ShownTime(const std::optional<long long>& value, const char* unknown) {
    const std::string text = value ? FormatLocalTime(static_cast<time_t>(*value)) : "";
    return text.empty() ? unknown : text;
}

namespace {

// The installer's service: it owns the system's own folders.
const char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

class CTrustedSids {
public:
    CTrustedSids() {
        for (WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid}) {
            DWORD size = SECURITY_MAX_SID_SIZE;
            std::vector<BYTE> sid(size);
            if (::CreateWellKnownSid(type, nullptr, sid.data(), &size))
                m_sids.push_back(sid);
        }
        PSID installer = nullptr;
        if (::ConvertStringSidToSidA(kTrustedInstaller, &installer)) {
            const BYTE* bytes = static_cast<const BYTE*>(installer);
            m_sids.emplace_back(bytes, bytes + ::GetLengthSid(installer));
            ::LocalFree(installer);
        }
        unique_handle token;
        BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()) &&
            ::GetTokenInformation(token.get(), TokenUser, user, sizeof(user), &size)) {
            const PSID sid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
            const BYTE* bytes = static_cast<const BYTE*>(sid);
            m_sids.emplace_back(bytes, bytes + ::GetLengthSid(sid));
        }
    }
    bool Has(PSID sid) const {
        for (const auto& s : m_sids)
            if (::EqualSid(sid, const_cast<BYTE*>(s.data())))
                return true;
        return false;
    }

private:
    std::vector<std::vector<BYTE>> m_sids;
};

bool IsAdministratorsFolder(const std::string& folder, const CTrustedSids& trusted) {
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    unique_hlocal held(descriptor);
    foldertrust::Facts facts;
    facts.ownerTrusted = owner && trusted.Has(owner);
    facts.hasDacl = dacl != nullptr;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            return false;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE)
            continue;
        // Both kinds have the same layout: header, mask, SID.
        const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        foldertrust::Entry entry;
        entry.allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
        entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        entry.trustedSid = trusted.Has(const_cast<DWORD*>(&ace->SidStart));
        entry.mask = ace->Mask;
        facts.entries.push_back(entry);
    }
    return foldertrust::IsAdministratorsFolder(facts);
}

} // namespace

std::set<std::string> FoldersNotAdministrators(const ModuleList& modules) {
    std::set<std::string> refused;
    if (!IsProcessElevated())
        return refused;
    const CTrustedSids trusted;
    std::set<std::string> seen;
    for (const auto& r : modules) {
        const std::string folder = LocalFolderOf(r->localFile);
        if (!folder.empty() && seen.insert(folder).second &&
            !IsAdministratorsFolder(folder, trusted))
            refused.insert(folder);
    }
    return refused;
}

void SweepModuleFolders(const ModuleList& modules, const std::set<std::string>& leftOut) {
    std::set<std::string> swept;
    for (const auto& r : modules) {
        const std::string folder = LocalFolderOf(r->localFile);
        if (!leftOut.count(folder) && swept.insert(folder).second)
            SweepLeftovers(r->localFile);
    }
}
