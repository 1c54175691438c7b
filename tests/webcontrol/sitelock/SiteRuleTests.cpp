// Which entries of the allowed-sites list count; the pages they let in are
// judged through the built control (SiteLockTests.cpp).
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
        {"https://", false},
        {"https://portal.example.com/app", false},
        {"https://user@portal.example.com", false},
        {"https://portal.example.com:0", false},
        {"https://portal.example.com:65536", false},
        {"https://portal.example.com:+80", false},
        {"https://portal..example.com", false},
        {"https://-portal.example.com", false},
        {"https://port_al.example.com", false},
        {"https://*.com", false},
        {"https://*", false},
        {"https://a.*.example.com", false},
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

} // namespace
