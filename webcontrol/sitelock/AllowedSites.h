#pragma once
// The deployment's list of the sites whose pages may script the control:
// HKEY_LOCAL_MACHINE\SOFTWARE\Tav\TavWebOmblet, value AllowedSites
// (REG_MULTI_SZ, one scheme://host[:port] a line), in the 32-bit registry
// view like every value an administrator sets for the deliverables.

#include "SiteRule.h"

#include <string>
#include <vector>

class CAllowedSites {
public:
    // False when the value is absent: no list, the lock is off. A value that
    // is there but cannot be read allows no page.
    bool Load();
    // Whether the page at this address lies on one of the listed sites.
    bool Allows(const std::wstring& pageUrl) const;

private:
    std::vector<SiteRule> m_rules;
};
