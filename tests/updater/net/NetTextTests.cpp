// What the downloader makes of names and of FTP replies, without the network.
#include "NetText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Faults: a byte of a non-ASCII name sent raw (a server looks for another
// file), an escape already in the path escaped again, an ASCII byte touched;
// a broken escape decoded into some byte.
TEST(RequestPath, HighBytesAreEscapedAndEverythingElseStays) {
    EXPECT_EQ("/%ED%95%9C%20b/%EA%B8%80 c.bin?x=1",
              PercentEncodeHighBytes("/\xED\x95\x9C%20b/\xEA\xB8\x80 c.bin?x=1"));
    const struct {
        const char* text;
        bool ok;
        std::string bytes;
    } cases[] = {{"/a%20b/%ed%95%9C", true, "/a b/\xED\x95\x9C"},
                 {"/100%", false, ""},
                 {"/%4", false, ""},
                 {"/%zz", false, ""}};
    for (const auto& c : cases) {
        std::string bytes;
        EXPECT_EQ(c.ok, PercentDecode(c.text, bytes)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.bytes, bytes) << c.text;
        }
    }
}

// Faults: a range that names no first byte (416's "*/1000") read as one from
// byte 0; a first byte past 32 bits cut.
TEST(ContentRange, FirstByteIsReadOnlyFromAWholeRange) {
    const struct {
        const char* text;
        bool ok;
        unsigned long long first;
    } cases[] = {{"bytes 5000000000-5000000999/5000001000", true, 5000000000ull},
                 {"bytes 500-999/*", true, 500},
                 {"bytes */1000", false, 0},
                 {"500-999/1000", false, 0}};
    for (const auto& c : cases) {
        unsigned long long first = 0;
        EXPECT_EQ(c.ok, ContentRangeFirst(c.text, first)) << c.text;
        EXPECT_EQ(c.first, c.ok ? first : 0) << c.text;
    }
}

// Faults: a refusal taken for an answer, a fraction of a second or a line end
// breaking the time, an impossible date accepted, a size past 32 bits cut
// before the caller sees it.
TEST(FtpReply, CodeTimeAndSizeAreReadAsTheServerGivesThem) {
    int code = 0;
    std::string text;
    ASSERT_TRUE(SplitFtpReply("213-status\r\n x\r\n213 20250601123456.789\r\n", code, text));
    EXPECT_EQ(213, code);
    FtpTime t = {};
    ASSERT_TRUE(ParseFtpTime(text, t));
    EXPECT_EQ((std::vector<int>{2025, 6, 1, 12, 34, 56}),
              (std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}));
    ASSERT_TRUE(SplitFtpReply("550 Could not get file size.", code, text));
    EXPECT_EQ(550, code);
    EXPECT_FALSE(SplitFtpReply("", code, text));
    EXPECT_FALSE(SplitFtpReply("21 x", code, text));
    for (const char* bad : {"2025060112345", "20251301123456", "20250601123456.", "2025060112345x"})
        EXPECT_FALSE(ParseFtpTime(bad, t)) << bad;
    unsigned long long size = 0;
    ASSERT_TRUE(ParseFtpSize("4294967297", size));
    EXPECT_EQ(4294967297ULL, size);
    EXPECT_FALSE(ParseFtpSize("12 bytes", size));
}

// Faults: a relative Location resolved against the root instead of the
// answering folder, an absolute URL's scheme or port lost, a host taken from
// a login in the URL, a scheme other than HTTP(S) followed.
TEST(Redirect, LocationIsResolvedFromThePlaceThatAnswered) {
    const UrlPlace from{true, "example.org", 8443, "/u/list.txt?x=1"};
    const auto url = [](const UrlPlace& p) {
        return std::string(p.secure ? "https://" : "http://") + p.host + ":" +
               std::to_string(p.port) + p.path;
    };
    const struct {
        const char* location;
        const char* target; // "" when refused
    } cases[] = {{"m.bin", "https://example.org:8443/u/m.bin"},
                 {"/v/m.bin#top", "https://example.org:8443/v/m.bin"},
                 {"//cdn.example.org/m", "https://cdn.example.org:443/m"},
                 {"HTTP://cdn:8080?q", "http://cdn:8080/?q"},
                 {"https://[::1]:9/m", "https://[::1]:9/m"},
                 {"https://evil@cdn/m", ""},
                 {"ftp://cdn/m", ""},
                 {"https://cdn:99999/m", ""}};
    for (const auto& c : cases) {
        UrlPlace to;
        const bool ok = ResolveRedirect(from, c.location, to);
        EXPECT_EQ(c.target, ok ? url(to) : "") << c.location;
    }
}

// Fault: a refused Location's login written into the log as it came.
TEST(Redirect, RefusedLocationIsTracedWithoutItsLogin) {
    EXPECT_EQ("https://***@cdn/m", WithoutUserInfo("https://kim:pw@cdn/m"));
    EXPECT_EQ("//***@cdn/m?a@b", WithoutUserInfo("//kim:pw@cdn/m?a@b"));
    EXPECT_EQ("ftp://cdn/a@b", WithoutUserInfo("ftp://cdn/a@b"));
}

} // namespace
