// The allowed-sites rules: which entries count, and which pages they let in.
#include "SiteRule.h"

#include <gtest/gtest.h>

namespace {

struct EntryCase {
    const char* entry;
    bool valid;
    const char* host = "";
    bool wildcard = false;
    unsigned port = 0;
};

TEST(SiteRule, EntriesThatCannotBeReadAreIgnored) {
    const EntryCase cases[] = {
        {"https://portal.example.com", true, "portal.example.com", false, 443},
        {"http://portal.example.com", true, "portal.example.com", false, 80},
        {"  HTTPS://Portal.Example.COM/ ", true, "portal.example.com", false, 443},
        {"https://portal.example.com:8443", true, "portal.example.com", false, 8443},
        {"https://*.example.com", true, "example.com", true, 443},
        {"http://10.1.2.3:8080", true, "10.1.2.3", false, 8080},
        {"", false},
        {"portal.example.com", false},
        {"ftp://portal.example.com", false},
        {"file:///C:/pages", false},
        {"https://", false},
        {"https://portal.example.com/app", false},
        {"https://portal.example.com?x", false},
        {"https://user@portal.example.com", false},
        {"https://portal.example.com:", false},
        {"https://portal.example.com:0", false},
        {"https://portal.example.com:65536", false},
        {"https://portal.example.com:+80", false},
        {"https://portal..example.com", false},
        {"https://portal.example.com.", false},
        {"https://-portal.example.com", false},
        {"https://port_al.example.com", false},
        {"https://*.com", false},
        {"https://*", false},
        {"https://a.*.example.com", false},
        {"https://*portal.example.com", false},
        {"https://[::1]", false},
    };
    for (const EntryCase& c : cases) {
        SCOPED_TRACE(c.entry);
        SiteRule rule;
        ASSERT_EQ(c.valid, ParseSiteRule(c.entry, &rule));
        if (!c.valid)
            continue;
        EXPECT_EQ(c.host, rule.host);
        EXPECT_EQ(c.wildcard, rule.wildcard);
        EXPECT_EQ(c.port, rule.port);
    }
}

struct PageCase {
    const char* entry;
    const char* scheme;
    const char* host;
    unsigned port;
    bool allowed;
};

TEST(SiteRule, OnlyTheNamedSitesAreAllowed) {
    const PageCase cases[] = {
        {"https://portal.example.com", "https", "portal.example.com", 443, true},
        {"https://portal.example.com", "HTTPS", "PORTAL.Example.com", 443, true},
        {"https://portal.example.com", "http", "portal.example.com", 443, false},
        {"https://portal.example.com", "http", "portal.example.com", 80, false},
        {"https://portal.example.com", "https", "portal.example.com", 8443, false},
        {"https://portal.example.com:8443", "https", "portal.example.com", 8443, true},
        {"https://portal.example.com", "https", "portal.example.com.evil.test", 443, false},
        {"https://portal.example.com", "https", "evil-portal.example.com", 443, false},
        {"https://portal.example.com", "https", "xportal.example.com", 443, false},
        {"https://*.example.com", "https", "portal.example.com", 443, true},
        {"https://*.example.com", "https", "a.b.example.com", 443, true},
        {"https://*.example.com", "https", "example.com", 443, false},
        {"https://*.example.com", "https", "evilexample.com", 443, false},
        {"https://*.example.com", "https", ".example.com", 443, false},
        {"https://*.example.com", "https", "example.com.evil.test", 443, false},
    };
    for (const PageCase& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " <- " + c.scheme + "://" + c.host);
        SiteRule rule;
        ASSERT_TRUE(ParseSiteRule(c.entry, &rule));
        EXPECT_EQ(c.allowed, SiteRuleAllows(rule, c.scheme, c.host, c.port));
    }
}

} // namespace
