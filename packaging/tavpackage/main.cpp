// tavpackage: the settings of scripts/package, checked, and what the
// packages hold from them. Prints shell assignments for the script.
//   tavpackage help                         the script's --help
//   tavpackage check OPTION...              every check; the script's paths
//   tavpackage stage PACKAGING STAGE OPTION...
//       writes STAGE/files/TavUpdateInfo.ini beside the (signed) binaries
//       there and STAGE/cab/TavWebOmblet.inf, and prints the versions, the
//       product code and the MSI's defines; PACKAGING is the folder of
//       TavSetup.wxs and the INF's template.
// Site entries go through the control's own rule parser, the signing key
// through the publisher's tool's key reader.

#include "CabInf.h"
#include "ConfigWriter.h"
#include "PackageSettings.h"
#include "ProductCode.h"
#include "VersionResource.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char kUsage[] = R"(Usage: scripts/package --server HOST --remote-version-file PATH
                       --local-version-file PATH [options]

Builds the shipped binaries and writes into dist/ (or --out DIR); relative
paths name files from the folder the script is started in:
  TavSetup.msi        per-machine 32-bit package: TavUpdate.exe, its
                      TavUpdateInfo.ini written from the options below, and
                      TavWebOmblet.ocx registered, all in the system folder
                      a 32-bit program sees (SysWOW64 on 64-bit Windows),
                      and the Event Log source TavUpdate
  TavWebOmblet.cab    the control and TavWebOmblet.inf, for <object codebase>

Update server (the [SERVER] and [LOCAL] settings of TavUpdateInfo.ini):
  --server HOST                 Remote Address: host name or address
  --protocol ftp|http|https     Protocol (default: ftp)
  --ftp-passive                 Passive Mode=1: passive FTP data connections
                                (ftp only; default: active)
  --port N                      Remote Port, 1 to 65535 (default: the protocol's)
  --login NAME                  Login Name (default: empty)
  --password TEXT               Login Password, kept in plain text (default: empty)
  --proxy HOST:PORT             Proxy for HTTP(S) (default: the system's settings)
  --proxy-bypass LIST           Proxy Bypass: hosts reached without it
  --proxy-login NAME:PASSWORD   Proxy Login Name and Password, for a proxy that
                                asks (407); kept in plain text
  --remote-version-file PATH    Remote Version File: the version list on the server
  --local-version-file PATH     Local Version File: where the list is kept, an
                                absolute Windows path (C:\...)
  --default-exec-file PATH      Default Exec File: the program started when no
                                module is marked E, an absolute Windows path
  --signing-key BASE64          Signing Key: one-line base64 DER public key
                                (RSA, 2048 to 4096 bits); the updater installs
                                only lists and modules the publisher signed
  --unsigned-updates            no Signing Key, meant so: the elevated updater
                                installs whatever the server sends, over plain
                                HTTP or FTP (one of the two is required)
Site lock (HKLM\SOFTWARE\Tav\TavWebOmblet, AllowedSites; the MSI and the CAB):
  --allowed-site ENTRY          a page site the control serves, such as
                                https://portal.example.com[:port] or
                                https://*.example.com; repeat for more
  --any-site                    no AllowedSites value, meant so: every page on
                                the internet may drive the control, log the
                                user's messenger into another account, place
                                calls, stop it, and raise elevation prompts for
                                the updater (one of the two is required)
Logging (TraceLevel under HKLM\SOFTWARE\Tav\TavUpdate and ...\TavWebOmblet):
  --trace-level N               the log level of the updater and the control,
                                1 to 4, written by the MSI and removed with it
                                (default: no value)
Unattended passes (the scheduled task TavUpdate; the MSI only):
  --schedule HH:MM[,H]          the MSI has the installed TavUpdate.exe register
                                the task on install (daily at HH:MM local time,
                                00:00 to 23:59, after a random delay of up to H
                                hours, 0 to 23, default 4; and after each logon)
                                and remove it on removal (default: no task)
Authenticode (all four of TavUpdate.exe, TavWebOmblet.ocx, the CAB, the MSI):
  --cert FILE                   code-signing certificate (PEM or DER; a PEM
                                file may carry its chain, the signer first)
  --cert-key FILE               its private key
  --cert-password-file FILE     the key's password, when it has one
  --publisher-url URL           the URL shown with the signatures (needed with --cert)
Other:
  --binaries DIR                package the TavUpdate.exe and TavWebOmblet.ocx
                                in DIR instead of building them
  --out DIR                     where the packages go (default: dist in this tree)
  -h, --help                    this text

Texts are taken as UTF-8 and written in code page 949. Without --cert the
packages are unsigned (browsers refuse unsigned controls from pages).
On any error nothing is written: packages already in DIR stay as they were,
and nothing else in DIR is ever touched.
)";

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void Assign(const char* name, const std::string& value) {
    std::printf("%s=%s\n", name, Quote(value).c_str());
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "package: %s\n", error.c_str());
    return 1;
}

bool ReadSettings(int argc, char** argv, int first, PackageSettings& settings, std::string& error) {
    std::vector<char> cwd(4096);
    if (!::getcwd(cwd.data(), cwd.size())) {
        error = "the current folder cannot be named";
        return false;
    }
    const std::vector<std::string> args(argv + first, argv + argc);
    return ParseOptions(args, cwd.data(), settings, error) &&
           (settings.help || CheckSettings(settings, error));
}

int Check(int argc, char** argv) {
    PackageSettings s;
    std::string error;
    if (!ReadSettings(argc, argv, 2, s, error))
        return Fail(error);
    Assign("help", s.help ? "1" : "");
    Assign("binaries", s.binaries);
    Assign("out", s.out);
    Assign("cert", s.cert);
    Assign("cert_key", s.certKey);
    Assign("cert_pass", s.certPassword);
    Assign("publisher_url", s.publisherUrl);
    return 0;
}

bool ReadFile(const std::string& path, std::string& bytes, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!file || bytes.empty())
        error = path + ": cannot be read";
    return file && !bytes.empty();
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::ofstream file(path, std::ios::binary);
    file << bytes;
    file.close();
    if (!file)
        error = path + ": cannot be written";
    return !!file;
}

int Stage(int argc, char** argv) {
    PackageSettings s;
    std::string error;
    if (argc < 4)
        return Fail("usage: tavpackage stage PACKAGING STAGE OPTION...");
    if (!ReadSettings(argc, argv, 4, s, error))
        return Fail(error);
    const std::string packaging = argv[2], stage = argv[3], files = stage + "/files";
    std::string updater, control, inf, code;
    if (!WriteFile(files + "/TavUpdateInfo.ini", ConfigFileBytes(s), error) ||
        !FileVersion(files + "/TavUpdate.exe", updater, error) ||
        !FileVersion(files + "/TavWebOmblet.ocx", control, error))
        return Fail(error);
    std::string fileVersion = control; // as the INF and the page's codebase write it
    for (char& c : fileVersion)
        c = c == '.' ? ',' : c;
    const std::string sites = SiteList(s.sites);
    const std::string schedule =
        s.scheduleTime.empty() ? "" : s.scheduleTime + "," + s.scheduleDelay;
    if (!ReadFile(packaging + "/TavWebOmblet.inf", inf, error) ||
        !WriteFile(stage + "/cab/TavWebOmblet.inf", CabInfText(inf, fileVersion, s.sites), error) ||
        !ProductCode(files, packaging + "/TavSetup.wxs", sites, s.traceLevel, schedule, code,
                     error))
        return Fail(error);
    Assign("updater_version", updater);
    Assign("control_version", control);
    Assign("file_version", fileVersion);
    Assign("product_code", code);
    Assign("upgrade_code", kUpgradeCode);
    std::string defines =
        "-D " + Quote("ProductCode=" + code) + " -D " + Quote("Version=" + updater);
    if (!sites.empty())
        defines += " -D " + Quote("AllowedSites=" + sites);
    if (!s.traceLevel.empty())
        defines += " -D " + Quote("TraceLevel=" + s.traceLevel);
    if (!schedule.empty())
        defines += " -D " + Quote("ScheduleTime=" + s.scheduleTime) + " -D " +
                   Quote("ScheduleDelay=" + s.scheduleDelay);
    std::printf("msi_defines=(%s)\n", defines.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc >= 2 ? argv[1] : "";
    if (command == "help")
        return std::fputs(kUsage, stdout) < 0;
    if (command == "check")
        return Check(argc, argv);
    if (command == "stage")
        return Stage(argc, argv);
    std::fprintf(stderr,
                 "usage: tavpackage help | check OPTION... | stage PACKAGING STAGE OPTION...\n");
    return 2;
}
