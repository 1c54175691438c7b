// The packaging tool's faults that would reach the desktops: a setting the
// updater would read back otherwise or a signing key it would refuse let
// through, other bytes in TavUpdateInfo.ini, a product code that moves when
// nothing changed (or stays when something did).
#include "ConfigWriter.h"
#include "Keys.h"
#include "PackageSettings.h"
#include "ProductCode.h"

#include <gtest/gtest.h>
#include <openssl/ec.h>
#include <openssl/rsa.h>

#include <filesystem>
#include <fstream>

namespace {

PackageSettings Minimal() {
    PackageSettings s;
    s.server = "update.example.com";
    s.remoteList = "/version.txt";
    s.localList = "C:\\Tav\\version.txt";
    s.sites = {"https://portal.example.com"};
    s.unsignedUpdates = true;
    return s;
}

std::string Check(PackageSettings& s) {
    std::string error;
    return CheckSettings(s, error) ? "accepted" : error;
}

std::string RsaKeyValue(unsigned bits) {
    EvpKey key(EVP_RSA_gen(bits));
    return SigningKeyValue(key.get());
}

TEST(PackageSettingsTest, TextsTheUpdaterWouldReadBackOtherwiseAreRefused) {
    std::string hangul; // 2 bytes each in code page 949
    for (int i = 0; i < 255; ++i)
        hangul += u8"한";
    const struct {
        std::string login;
        bool accepted;
    } cases[] = {
        {hangul + "x", true}, // 511 bytes, the most that arrives
        {hangul + "xy", false}, {"'", true},
        {"\"kim'", true},       {" kim", false},
        {"kim ", false},        {"\"kim\"", false},
        {"'kim'", false},       {"kim\r\nLogin Password=x", false},
        {"k\tim", false},       {"k\x7fim", false},
        {"\xb0\xfc", false}, // code page 949 bytes given as if UTF-8
        {u8"\u0e01", false}, // a letter code page 949 lacks
    };
    for (const auto& c : cases) {
        PackageSettings s = Minimal();
        s.login = c.login;
        EXPECT_EQ(c.accepted, Check(s) == "accepted") << c.login << ": " << Check(s);
    }
}

// Faults: a proxy the updater cannot use (a URL, no port) or one for FTP,
// which never goes through it, let into the package; the login not split
// into the two keys the updater reads.
TEST(PackageSettingsTest, ProxyIsHostAndPortForHttpWithItsLoginSplit) {
    const struct {
        const char* protocol;
        const char* proxy;
        bool accepted;
    } cases[] = {{"http", "proxy.example.com:8080", true},
                 {"https", "[::1]:3128", true},
                 {"http", "http://proxy:8080", false},
                 {"http", "proxy", false},
                 {"http", "proxy:0", false},
                 {"ftp", "proxy:8080", false}};
    for (const auto& c : cases) {
        PackageSettings s = Minimal();
        s.protocol = c.protocol;
        s.proxy = c.proxy;
        EXPECT_EQ(c.accepted, Check(s) == "accepted") << c.proxy << ": " << Check(s);
    }
    PackageSettings s = Minimal();
    s.protocol = "http";
    s.proxy = "proxy:8080";
    s.proxyLogin = "tav:pa:ss";
    ASSERT_EQ("accepted", Check(s));
    EXPECT_NE(std::string::npos,
              ConfigFileBytes(s).find("Proxy=proxy:8080\r\nProxy Login Name=tav\r\n"
                                      "Proxy Login Password=pa:ss\r\n"));
}

TEST(PackageSettingsTest, SigningKeysTheUpdaterWouldRefuseAreRefused) {
    const std::string good = RsaKeyValue(2048);
    EvpKey ec(EVP_EC_gen("P-256"));
    const struct {
        std::string key;
        bool accepted;
    } cases[] = {
        {good, true},
        {RsaKeyValue(4096), true},
        {RsaKeyValue(1024), false},
        {RsaKeyValue(4104), false},
        {SigningKeyValue(ec.get()), false},
        {good.substr(0, 64) + "\n" + good.substr(64), false}, // base64 as wrapped by default
    };
    for (const auto& c : cases) {
        PackageSettings s = Minimal();
        s.signingKey = c.key;
        s.unsignedUpdates = false;
        EXPECT_EQ(c.accepted, Check(s) == "accepted") << c.key << ": " << Check(s);
    }
}

// Faults: a time or delay the updater's /schedule refuses let into the
// package (its install would fail on every desktop), or the delay not
// defaulted as the updater does.
TEST(PackageSettingsTest, ScheduleIsWhatTheUpdaterSets) {
    const struct {
        const char* given;
        const char* time; // null: refused
        const char* delay;
    } cases[] = {{"4:30", "04:30", "4"},     {"23:59,0", "23:59", "0"}, {"00:00,23", "00:00", "23"},
                 {"24:00", nullptr, ""},     {"12:60", nullptr, ""},    {"12:5", nullptr, ""},
                 {"12:00,24", nullptr, ""},  {"12:00,", nullptr, ""},   {"12:00,-1", nullptr, ""},
                 {"12:00,2,3", nullptr, ""}, {",2", nullptr, ""},       {"/delay,2", nullptr, ""}};
    for (const auto& c : cases) {
        PackageSettings s = Minimal();
        s.schedule = c.given;
        const std::string said = Check(s);
        EXPECT_EQ(c.time != nullptr, said == "accepted") << c.given << ": " << said;
        if (c.time) {
            EXPECT_EQ(c.time, s.scheduleTime) << c.given;
            EXPECT_EQ(c.delay, s.scheduleDelay) << c.given;
        }
    }
}

TEST(ConfigFileTest, IsCodePage949WithCrlfLineEnds) {
    PackageSettings s = Minimal();
    s.protocol = "Https";
    s.port = "0080";
    s.login = u8"관리자";
    s.password = "pass word";
    s.signingKey = RsaKeyValue(2048);
    s.unsignedUpdates = false;
    s.defaultExec = "\\\\server\\share\\client.exe";
    ASSERT_EQ("accepted", Check(s));
    EXPECT_EQ(
        "[SERVER]\r\nRemote Address=update.example.com\r\nProtocol=HTTPS\r\nRemote Port=80\r\n"
        "Login Name=\xb0\xfc\xb8\xae\xc0\xda\r\nLogin Password=pass word\r\n"
        "Remote Version File=/version.txt\r\nSigning Key=" +
            s.signingKey +
            "\r\n[LOCAL]\r\nLocal Version File=C:\\Tav\\version.txt\r\n"
            "Default Exec File=\\\\server\\share\\client.exe\r\n",
        ConfigFileBytes(s));

    PackageSettings plain = Minimal();
    plain.ftpPassive = true;
    ASSERT_EQ("accepted", Check(plain));
    EXPECT_EQ("[SERVER]\r\nRemote Address=update.example.com\r\nProtocol=FTP\r\nPassive Mode=1\r\n"
              "Remote Port=0\r\n"
              "Login Name=\r\nLogin Password=\r\nRemote Version File=/version.txt\r\n"
              "[LOCAL]\r\nLocal Version File=C:\\Tav\\version.txt\r\nDefault Exec File=\r\n",
              ConfigFileBytes(plain));
}

// Values the packaging script of earlier releases computed for the same
// payload: a package of the same content keeps its product code across them.
TEST(ProductCodeTest, FollowsThePayloadOnly) {
    char folder[] = "/tmp/tav-product-code.XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(folder));
    const std::string dir = folder;
    auto write = [&](const char* name, const char* text) {
        std::ofstream(dir + "/" + name, std::ios::binary) << text;
    };
    write("TavUpdate.exe", "exe");
    write("TavUpdateInfo.ini", "ini");
    write("TavWebOmblet.ocx", "ocx");
    write("TavSetup.wxs", "wxs");
    auto code = [&](const std::vector<std::string>& sites, const char* traceLevel = "",
                    const char* schedule = "") {
        std::string code, error;
        EXPECT_TRUE(ProductCode(dir, dir + "/TavSetup.wxs", SiteList(sites), traceLevel, schedule,
                                code, error))
            << error;
        return code;
    };
    const std::vector<std::string> sites = {"https://a.example.com", "https://*.example.org:8443"};
    EXPECT_EQ("{7EA70ECC-5333-5BA0-8451-9A673BB53871}", code({}));
    EXPECT_EQ("{50CBA36B-C073-502F-9C22-AD64C09834AA}", code(sites));
    EXPECT_NE(code(sites), code({sites[0]}));
    EXPECT_NE(code(sites), code(sites, "3"));
    EXPECT_NE(code(sites, "3"), code(sites, "3", "04:30,2"));
    EXPECT_NE(code(sites, "3", "04:30,2"), code(sites, "3", "04:30,3"));
    write("TavUpdateInfo.ini", "ini2");
    EXPECT_NE("{7EA70ECC-5333-5BA0-8451-9A673BB53871}", code({}));
    std::filesystem::remove_all(dir);
}

} // namespace
