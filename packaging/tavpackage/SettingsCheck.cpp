#include "PackageSettings.h"

#include "CommandLine.h"
#include "ConfigFile.h"
#include "ConfigWriter.h"
#include "Encoding.h"
#include "Keys.h"
#include "SiteRule.h"

#include <openssl/evp.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>

namespace {

bool Fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

// The updater reads each value through GetPrivateProfileStringA into a buffer
// of kValueBufferSize bytes, dropping blanks at either end and one pair of
// enclosing quotes, and a line break would start a key of its own: refuse
// what would not come back as given.
bool CheckText(const char* key, const std::string& value, std::string& error) {
    const std::string name = key;
    for (unsigned char c : value)
        if (c < 0x20 || c == 0x7f)
            return Fail(error, name + ": control characters or line breaks are not allowed");
    if (!value.empty() && (value.front() == ' ' || value.back() == ' '))
        return Fail(error, name + ": blanks at the start or end would be dropped by the updater");
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return Fail(error, name + ": enclosing quotes would be dropped by the updater");
    std::string bytes;
    if (!ToCodePage949(value, bytes))
        return Fail(error, name + ": not UTF-8 text that code page 949 can hold");
    const size_t most = configfile::kValueBufferSize - 1;
    if (bytes.size() > most)
        return Fail(error, name + ": " + std::to_string(bytes.size()) +
                               " bytes; the updater reads at most " + std::to_string(most));
    return true;
}

bool IsWindowsPath(const std::string& path) {
    if (path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
        path[2] == '\\')
        return true;
    // \\server\share\...
    size_t share = path.find('\\', 2);
    return path.compare(0, 2, "\\\\") == 0 && share != std::string::npos && share > 2;
}

bool CheckWindowsPath(const char* key, const std::string& path, std::string& error) {
    if (IsWindowsPath(path))
        return true;
    return Fail(error,
                std::string(key) + ": \"" + path +
                    "\" is not an absolute Windows path (C:\\... or \\\\server\\share\\...)");
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool CheckServer(PackageSettings& s, std::string& error) {
    using namespace configfile;
    if (s.server.find_first_of("/ \t\n\v\f\r") != std::string::npos)
        return Fail(error, std::string(kRemoteAddress) + ": \"" + s.server +
                               "\" is a host name or address, not a URL");
    const std::string protocol = Lower(s.protocol);
    if (protocol == "ftp")
        s.protocol = kFtp;
    else if (protocol == "http")
        s.protocol = kHttp;
    else if (protocol == "https")
        s.protocol = kHttps;
    else
        return Fail(error, std::string(kProtocol) + ": \"" + s.protocol +
                               "\" is neither FTP nor HTTP nor HTTPS");
    if (s.ftpPassive && s.protocol != kFtp)
        return Fail(error, "--ftp-passive: only with --protocol ftp, not " + s.protocol);
    if (s.port.empty()) {
        s.port = "0"; // the updater takes the protocol's own port
        return true;
    }
    unsigned long port = 0;
    bool digits = s.port.size() <= 5;
    for (char c : s.port) {
        digits = digits && std::isdigit(static_cast<unsigned char>(c));
        port = port * 10 + (c - '0');
    }
    if (!digits || port < 1 || port > 65535)
        return Fail(error,
                    std::string(kRemotePort) + ": \"" + s.port + "\" is not a port (1 to 65535)");
    s.port = std::to_string(port);
    return true;
}

// host:port, as WinINet takes a proxy; for HTTP(S) only, as FTP never goes
// through it. The login is "name:password".
bool CheckProxy(PackageSettings& s, std::string& error) {
    using namespace configfile;
    if (s.proxy.empty()) {
        if (!s.proxyBypass.empty())
            return Fail(error, "--proxy-bypass: only with --proxy");
        if (s.proxyLogin.empty())
            return true;
    } else {
        const size_t colon = s.proxy.rfind(':');
        const std::string port = colon == std::string::npos ? "" : s.proxy.substr(colon + 1);
        bool digits = !port.empty() && port.size() <= 5;
        unsigned long number = 0;
        for (char c : port) {
            digits = digits && std::isdigit(static_cast<unsigned char>(c));
            number = number * 10 + (c - '0');
        }
        if (colon == 0 || !digits || number < 1 || number > 65535 ||
            s.proxy.find_first_of("/@ \t") != std::string::npos)
            return Fail(error, std::string(kProxy) + ": \"" + s.proxy +
                                   "\" is not host:port (a port from 1 to 65535, no URL)");
        if (s.protocol == kFtp)
            return Fail(error, "--proxy: only with --protocol http or https (FTP never goes "
                               "through it)");
    }
    if (!s.proxyLogin.empty()) {
        const size_t colon = s.proxyLogin.find(':');
        if (colon == 0 || colon == std::string::npos)
            return Fail(error, "--proxy-login: not name:password");
        s.proxyLoginName = s.proxyLogin.substr(0, colon);
        s.proxyLoginPassword = s.proxyLogin.substr(colon + 1);
    }
    return true;
}

std::string Base64(const std::string& bytes) {
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    text.resize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&text[0]),
                                reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<int>(bytes.size())));
    return text;
}

// One canonical base64 line of an RSA SubjectPublicKeyInfo, 2048 to 4096 bits.
bool CheckSigningKey(const std::string& value, std::string& error) {
    const std::string name = std::string(configfile::kSigningKey) + ": ";
    std::string der;
    if (!encoding::DecodeBase64(value, der) || Base64(der) != value)
        return Fail(error, name + "not one line of base64");
    if (!PublicKeyFromDer(der, error))
        return Fail(error, name + error);
    return true;
}

bool CheckTraceLevel(const std::string& level, std::string& error) {
    if (level.empty() || (level.size() == 1 && level[0] >= '1' && level[0] <= '4'))
        return true;
    return Fail(error, "--trace-level: \"" + level + "\" is not a level from 1 to 4");
}

// HH:MM[,H], read by the updater's own parser of its /schedule words, so the
// task the MSI asks for is one the updater sets.
bool CheckSchedule(PackageSettings& s, std::string& error) {
    if (s.schedule.empty())
        return true;
    const size_t comma = s.schedule.find(',');
    const std::string time = s.schedule.substr(0, comma);
    const std::string delay = comma == std::string::npos ? "4" : s.schedule.substr(comma + 1);
    const char* const argv[] = {"TavUpdate.exe", "TavUpdateInfo.ini", "/schedule", time.c_str(),
                                "/delay",        delay.c_str()};
    const UpdateCommandLine line = ParseCommandLine(6, argv);
    if (time.empty() || line.command != UpdateCommand::Schedule)
        return Fail(error, "--schedule: \"" + s.schedule +
                               "\" is not HH:MM[,H] (a time from 00:00 to 23:59, then a random "
                               "delay of 0 to " +
                               std::to_string(kMaxDelayHours) + " hours, 4 when left out)");
    char text[8];
    std::snprintf(text, sizeof(text), "%02d:%02d", line.hour, line.minute);
    s.scheduleTime = text;
    s.scheduleDelay = std::to_string(line.delayHours);
    return true;
}

bool CheckSites(const std::vector<std::string>& sites, std::string& error) {
    for (const std::string& site : sites) {
        SiteRule rule;
        if (!ParseSiteRule(site, &rule))
            return Fail(error, "allowed site \"" + site +
                                   "\": not an entry the control accepts (http:// or https://, a "
                                   "host name, an optional :port, an optional leading \"*.\" "
                                   "label over a domain of two labels or more)");
    }
    return true;
}

// A package opens nothing by default: leaving out the site lock or the
// signing key must be said, and not together with what it leaves out.
bool CheckLocks(const PackageSettings& s, std::string& error) {
    if (s.anySite && !s.sites.empty())
        return Fail(error, "--any-site and --allowed-site exclude each other");
    if (!s.anySite && s.sites.empty())
        return Fail(error, "no --allowed-site: without a site lock every page on the internet "
                           "may drive the control (log the user's messenger into another "
                           "account, place calls, stop it, raise elevation prompts for the "
                           "updater); name the sites, or give --any-site to build such a package");
    if (s.unsignedUpdates && !s.signingKey.empty())
        return Fail(error, "--unsigned-updates and --signing-key exclude each other");
    if (!s.unsignedUpdates && s.signingKey.empty())
        return Fail(error, "no --signing-key: without one the elevated updater installs whatever "
                           "the server sends over plain HTTP or FTP; give the publisher's key, or "
                           "--unsigned-updates to build such a package");
    return true;
}

} // namespace

bool CheckSettings(PackageSettings& s, std::string& error) {
    using namespace configfile;
    if (s.server.empty())
        return Fail(error, "--server is required");
    if (s.remoteList.empty())
        return Fail(error, "--remote-version-file is required");
    if (s.localList.empty())
        return Fail(error, "--local-version-file is required");
    if (!CheckServer(s, error) || !CheckProxy(s, error) || !CheckTraceLevel(s.traceLevel, error) ||
        !CheckSchedule(s, error) || !CheckWindowsPath(kLocalVersionFile, s.localList, error) ||
        (!s.defaultExec.empty() && !CheckWindowsPath(kDefaultExecFile, s.defaultExec, error)))
        return false;
    const std::pair<const char*, const std::string*> texts[] = {
        {kRemoteAddress, &s.server},
        {kLoginName, &s.login},
        {kLoginPassword, &s.password},
        {kRemoteVersionFile, &s.remoteList},
        {kLocalVersionFile, &s.localList},
        {kDefaultExecFile, &s.defaultExec},
        {kProxy, &s.proxy},
        {kProxyBypass, &s.proxyBypass},
        {kProxyLoginName, &s.proxyLoginName},
        {kProxyLoginPassword, &s.proxyLoginPassword}};
    for (const auto& text : texts)
        if (!CheckText(text.first, *text.second, error))
            return false;
    if ((!s.signingKey.empty() && !CheckSigningKey(s.signingKey, error)) ||
        !CheckCodeSigning(s, error) || !CheckSites(s.sites, error) || !CheckLocks(s, error))
        return false;
    if (!s.binaries.empty())
        for (const char* file : {"TavUpdate.exe", "TavWebOmblet.ocx"}) {
            const std::string path = s.binaries + "/" + file;
            struct stat info;
            if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
                return Fail(error, path + ": not found");
        }
    return true;
}
