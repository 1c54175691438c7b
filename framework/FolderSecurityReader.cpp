#include "FolderSecurityReader.h"

#include "UniqueHandle.h"

#include <aclapi.h>
#include <sddl.h>

namespace {

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !::ConvertSidToStringSidA(sid, &text))
        return std::string();
    unique_hlocal owned(text);
    return text;
}

// Wine reports every file as owned by the account it runs as.
bool FilesKeepOwners() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return !ntdll || !::GetProcAddress(ntdll, "wine_get_version");
}

} // namespace

std::string TrustedOwnAccount() {
    unique_handle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return std::string();
    TOKEN_ELEVATION_TYPE type = static_cast<TOKEN_ELEVATION_TYPE>(0);
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size))
        type = static_cast<TOKEN_ELEVATION_TYPE>(0);
    if (!IsOwnAccountTrusted(static_cast<int>(type), FilesKeepOwners()))
        return std::string();
    union {
        TOKEN_USER user;
        char space[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } info;
    if (!::GetTokenInformation(token.get(), TokenUser, &info, sizeof(info), &size))
        return std::string();
    return SidText(info.user.User.Sid);
}

Win32Result ReadFolderSecurity(HANDLE folder, FolderSecurity& security) {
    PSID owner = nullptr;
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetSecurityInfo(folder, SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                          &owner, nullptr, &acl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return Win32Result::Failed("GetSecurityInfo", error);
    unique_hlocal owned(descriptor);
    security.owner = SidText(owner);
    security.hasAccessList = acl != nullptr;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!::GetAce(acl, i, reinterpret_cast<void**>(&header)))
            return Win32Result::Failed("GetAce");
        FolderAccessEntry entry;
        entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_DENIED_ACE_TYPE: {
            // Both share the layout: mask, then the SID.
            ACCESS_ALLOWED_ACE* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            entry.allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
            entry.mask = ace->Mask;
            entry.sid = SidText(&ace->SidStart);
            break;
        }
        case ACCESS_DENIED_OBJECT_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_ACE_TYPE:
        case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
            entry.allows = false;
            break;
        default:
            // An allowing entry of a kind not read here counts as anyone's.
            entry.mask = GENERIC_ALL;
            break;
        }
        security.entries.push_back(entry);
    }
    return Win32Result();
}
