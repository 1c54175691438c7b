// Entries of the allowed-sites list that must never count; what the others
// let in is judged through the built control (SiteLockTests.cpp).
#include "SiteRule.h"

#include <gtest/gtest.h>

namespace {

TEST(SiteRule, EntriesThatCannotBeReadAllowNothing) {
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
    // Blanks, letter case and a closing slash are the writer's own.
    ASSERT_TRUE(ParseSiteRule("  HTTPS://*.Example.COM:8443/ ", &rule));
    EXPECT_TRUE(rule.host == "example.com" && rule.wildcard && rule.port == 8443);
}

} // namespace
