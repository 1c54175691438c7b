#include "AllowedSites.h"
#include "MachinePolicy.h"

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

namespace {

// Rules and host names are ASCII; anything else never matches, so it is
// dropped here rather than narrowed into a look-alike.
bool Ascii(const wchar_t* text, size_t length, std::string& out) {
    out.clear();
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == 0 || text[i] > 0x7F)
            return false;
        out += static_cast<char>(text[i]);
    }
    return true;
}

struct PageAddress {
    std::string scheme;
    std::string host;
    unsigned port = 0;
};

std::wstring UrlPart(const std::wstring& url, DWORD part) {
    // No part is longer than the whole address.
    std::wstring text(url.size() + 1, L'\0');
    DWORD length = static_cast<DWORD>(text.size());
    if (FAILED(::UrlGetPartW(url.c_str(), &text[0], &length, part, 0)))
        return std::wstring();
    text.resize(length);
    return text;
}

// The page's scheme, host and port as the platform reads them. WinINet and
// shlwapi must agree: WinINet takes a backslash into the user name where a
// browser ends the host there, and wraps a port above 65535 that shlwapi
// keeps as written. An address they read differently is not judged.
bool CrackPageUrl(const std::wstring& url, PageAddress& page) {
    if (url.empty() || url.find(L'\0') != std::wstring::npos)
        return false;
    wchar_t scheme[INTERNET_MAX_SCHEME_LENGTH] = {};
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszScheme = scheme;
    parts.dwSchemeLength = INTERNET_MAX_SCHEME_LENGTH;
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH;
    if (!::InternetCrackUrlW(url.c_str(), 0, 0, &parts)) // 0: the address ends at its zero
        return false;
    if (UrlPart(url, URL_PART_HOSTNAME) != host)
        return false;
    const std::wstring port = UrlPart(url, URL_PART_PORT);
    if (!port.empty() && port != std::to_wstring(parts.nPort))
        return false;
    page.port = parts.nPort;
    return Ascii(scheme, parts.dwSchemeLength, page.scheme) &&
           Ascii(host, parts.dwHostNameLength, page.host) && !page.host.empty();
}

} // namespace

bool CAllowedSites::Load() {
    m_rules.clear();
    std::vector<std::wstring> entries;
    const Win32Result read = ReadPolicyList(policy::kAllowedSites, entries);
    if (read.Error() == ERROR_FILE_NOT_FOUND)
        return false;
    // A value that cannot be read, or of another type than a list of
    // strings, is a mistake of the deployment; it locks rather than opens.
    if (!read.Ok())
        return true;
    for (const std::wstring& entry : entries) {
        std::string text;
        SiteRule rule;
        if (Ascii(entry.c_str(), entry.size(), text) && ParseSiteRule(text, &rule))
            m_rules.push_back(rule);
    }
    return true;
}

bool CAllowedSites::Allows(const std::wstring& pageUrl) const {
    PageAddress page;
    if (!CrackPageUrl(pageUrl, page))
        return false;
    for (const SiteRule& rule : m_rules) {
        if (SiteRuleAllows(rule, page.scheme, page.host, page.port))
            return true;
    }
    return false;
}
