#pragma once
// The updater's settings, as the configuration file gives them.

#include <optional>
#include <string>
#include <vector>

class CTraceBase;

struct UpdateConfig {
    // As written: one server, or several separated by commas (mirrors).
    std::string remoteAddress;
    int protocol = 0;
    int remotePort = 0;
    std::string loginName;
    std::string loginPassword;
    std::string remoteVersionFile;
    std::string localVersionFile;
    std::string defaultExecFile;
    // [SERVER] "Signing Key": base64 of the publisher's RSA public key. Absent:
    // lists are not signed, and none is asked for. Present, even empty or
    // blank: only a list signed with it is taken.
    std::optional<std::string> signingKey;
    // [SERVER] "Passive Mode": non-zero for passive FTP data connections.
    bool passiveMode = false;
    // [SERVER] "Proxy", "Proxy Bypass", "Proxy Login Name", "Proxy Login
    // Password": an explicit proxy for HTTP(S) and its login.
    std::string proxy;
    std::string proxyBypass;
    std::string proxyLoginName;
    std::string proxyLoginPassword;
    // [REPORT] "Report URL": where the pass report goes; empty: nowhere.
    std::string reportUrl;
};

// The servers "Remote Address" names, in the order they are tried: split at
// commas, blanks around each name dropped, empty names skipped. None at all
// gives the one empty address, which fails to connect as before.
std::vector<std::string> ServerAddresses(const std::string& remoteAddress);

// Reads every setting of the file (which must exist) through the profile
// functions; a missing key takes its default.
UpdateConfig ReadUpdateConfig(const std::string& path);

// Written where a trace carries a login password: a log is a file on disk.
const char kHiddenPassword[] = "***";

// The settings read from the file at path, one trace line each (passwords
// hidden).
void TraceConfig(CTraceBase& trace, const std::string& path, const UpdateConfig& config);
