#pragma once
// What scripts/package is told: read from its command line, then checked
// against what the updater and the control read back, before anything is
// built or written.

#include <string>
#include <vector>

struct PackageSettings {
    // TavUpdateInfo.ini, as given (UTF-8).
    std::string server;
    std::string protocol = "ftp";
    bool ftpPassive = false;
    std::string port;
    std::string login;
    std::string password;
    std::string remoteList;
    std::string localList;
    std::string defaultExec;
    std::string signingKey;
    // Proxy ("host:port"), Proxy Bypass, and "name:password" split into
    // Proxy Login Name and Proxy Login Password.
    std::string proxy;
    std::string proxyBypass;
    std::string proxyLogin;
    std::string proxyLoginName;
    std::string proxyLoginPassword;
    bool unsignedUpdates = false; // no signing key, and meant so
    // The control's AllowedSites.
    std::vector<std::string> sites;
    bool anySite = false; // no site lock, and meant so
    // TraceLevel of the updater and the control, 1 to 4; empty: none.
    std::string traceLevel;
    // The scheduled task of unattended passes the MSI sets: "HH:MM[,H]" as
    // given, then as the updater's /schedule takes it ("HH:MM", the random
    // delay in hours, 4 when not given); empty: no task.
    std::string schedule;
    std::string scheduleTime;
    std::string scheduleDelay;
    // Authenticode signing.
    std::string cert;
    std::string certKey;
    std::string certPassword;
    std::string publisherUrl;
    // Where the binaries come from and the packages go; empty: the script's own.
    std::string binaries;
    std::string out;
    bool help = false;
};

// "--name value" or "--name=value", as the script documents them, and the
// switches without a value; file options name files from cwd. Stops at -h or
// --help.
bool ParseOptions(const std::vector<std::string>& args, const std::string& cwd,
                  PackageSettings& settings, std::string& error);

// Every check, the first failure reported. On success the protocol is in the
// updater's spelling and the port a decimal number ("0": the protocol's own).
bool CheckSettings(PackageSettings& settings, std::string& error);

// Certificate and key readable, the key the certificate's (CodeSigning.cpp).
bool CheckCodeSigning(const PackageSettings& settings, std::string& error);
