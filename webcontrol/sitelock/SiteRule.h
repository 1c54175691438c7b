#pragma once
// One entry of the control's list of allowed sites: scheme://host[:port],
// where the host may begin with the wildcard label "*." to stand for any of
// its subdomains (not the domain itself).

#include <string>

struct SiteRule {
    std::string scheme; // "http" or "https"
    std::string host;   // lower-case, without the wildcard label
    bool wildcard = false;
    unsigned port = 0; // as written, or the scheme's default
};

// False for an entry the lock must ignore; such an entry never allows a page.
bool ParseSiteRule(const std::string& entry, SiteRule* rule);

// The page's scheme, host and port as the platform's URL parser gave them.
// Scheme and host are compared without regard to letter case, the port exactly.
bool SiteRuleAllows(const SiteRule& rule, const std::string& scheme, const std::string& host,
                    unsigned port);
