// Which entries of the allowed-sites list count; the pages they let in are
// judged through the built control (SiteLockTests.cpp).
#include "SiteRule.h"

#include <gtest/gtest.h>

namespace {

TEST(SiteRule, EntriesThatCannotBeReadAreIgnored) {
    const struct {
        const char* entry;
        const char* host;
        bool wildcard;
        unsigned port;
    } valid[] = {
        {"https://portal.example.com", "portal.example.com", false, 443},
        {"http://portal.example.com", "portal.example.com", false, 80},
        {"  HTTPS://Portal.Example.COM/ ", "portal.example.com", false, 443},
        {"https://portal.example.com:8443", "portal.example.com", false, 8443},
        {"https://*.example.com", "example.com", true, 443},
        {"http://10.1.2.3:8080", "10.1.2.3", false, 8080},
    };
    for (const auto& c : valid) {
        SiteRule rule;
        ASSERT_TRUE(ParseSiteRule(c.entry, &rule)) << c.entry;
        EXPECT_TRUE(rule.host == c.host && rule.wildcard == c.wildcard && rule.port == c.port)
            << c.entry;
    }
    // Not scheme://host[:port]; then hosts that are no plain names.
    SiteRule rule;
    for (const char* entry : {"", "portal.example.com", "ftp://portal.example.com",
                              "file:///C:/pages", "https://", "https://portal.example.com/app",
                              "https://portal.example.com?x", "https://user@portal.example.com",
                              "https://portal.example.com:", "https://portal.example.com:0",
                              "https://portal.example.com:65536", "https://portal.example.com:+80"})
        EXPECT_FALSE(ParseSiteRule(entry, &rule)) << entry;
    for (const char* entry :
         {"https://portal..example.com", "https://portal.example.com.",
          "https://-portal.example.com", "https://port_al.example.com", "https://*.com",
          "https://*", "https://a.*.example.com", "https://*portal.example.com", "https://[::1]"})
        EXPECT_FALSE(ParseSiteRule(entry, &rule)) << entry;
}

} // namespace
