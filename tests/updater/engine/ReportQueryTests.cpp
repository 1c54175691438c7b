// The pass report's URL and query.
#include "ReportQuery.h"

#include <gtest/gtest.h>

namespace {

// Faults: a URL with a login (sent in clear to every log) or a query of its
// own taken; a port outside 1 to 65535 wrapped into one; a field's bytes
// that end the field or the query ("&", "=", blanks, "%", code page 949
// bytes) sent as they are.
TEST(ReportQuery, UrlIsHttpHostPortPathAndEveryFieldIsEncoded) {
    reportquery::ReportUrl url;
    for (const char* bad : {"", "report", "ftp://h/r", "http://h", "http:///r", "http://u:p@h/r",
                            "http://h/r?x=1", "http://h/r#a", "http://h:0/r", "http://h:65536/r",
                            "http://h:/r", "http://h:8x/r", "http://h /r", "http://h/a b"})
        EXPECT_FALSE(reportquery::ParseReportUrl(bad, url)) << bad;
    ASSERT_TRUE(reportquery::ParseReportUrl("HTTPS://Update.example.com/tav/report", url));
    EXPECT_TRUE(url.secure);
    EXPECT_EQ("Update.example.com", url.host);
    EXPECT_EQ(443, url.port);
    ASSERT_TRUE(reportquery::ParseReportUrl("http://127.0.0.1:8080/r", url));
    EXPECT_FALSE(url.secure);
    EXPECT_EQ(8080, url.port);

    reportquery::PassFacts f;
    f.desktopId = "0123456789abcdef0123456789abcdef";
    f.exitCode = 5;
    f.serial = 18446744073709551615ULL;
    f.listPath = "/a b&c=d%\xC7\xD1.ver";
    f.fetched = 2;
    f.failed = 1;
    f.bytes = 4294967296ULL;
    f.seconds = 7;
    f.version = "2.1.1.11";
    f.unattended = true;
    f.server = "mirror-2.example.com";
    EXPECT_EQ("/r?d=0123456789abcdef0123456789abcdef&x=5&s=18446744073709551615"
              "&l=%2Fa%20b%26c%3Dd%25%C7%D1.ver&b=&f=2&e=1&n=4294967296&t=7&v=2.1.1.11&u=1"
              "&r=mirror-2.example.com",
              reportquery::ReportTarget(url, f));
    f.serial.reset();
    f.bucket = 0;
    EXPECT_NE(std::string::npos, reportquery::ReportTarget(url, f).find("&s=&l="));
    EXPECT_NE(std::string::npos, reportquery::ReportTarget(url, f).find("&b=0&"));
}

} // namespace
