#include "UpdateConfig.h"

#include "ConfigFile.h"
#include "Protocol.h"
#include "TraceBase.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

std::string ReadText(const char* section, const char* key, const char* defaultValue,
                     const std::string& path, unsigned bufferSize = configfile::kValueBufferSize) {
    std::vector<char> buffer(bufferSize, '\0');
    const DWORD length = ::GetPrivateProfileStringA(section, key, defaultValue, buffer.data(),
                                                    bufferSize, path.c_str());
    return std::string(buffer.data(), length);
}

// The profile functions look for a bare file name in the Windows folder,
// while the existence test looks in the current one; name the current folder
// so both read the same file.
std::string ProfilePath(const std::string& path) {
    if (path.find_first_of("\\/:") == std::string::npos)
        return ".\\" + path;
    return path;
}

// Whether the section names the key at all: a value the profile functions
// read as empty (blank, say) is not an absent one.
bool HasKey(const char* section, const char* key, const std::string& path) {
    std::vector<char> names(32768, '\0');
    ::GetPrivateProfileStringA(section, nullptr, // every key name of the section
                               "", names.data(), static_cast<DWORD>(names.size()), path.c_str());
    for (const char* name = names.data(); *name; name += std::strlen(name) + 1)
        if (_stricmp(name, key) == 0)
            return true;
    return false;
}

} // namespace

std::vector<std::string> ServerAddresses(const std::string& remoteAddress) {
    std::vector<std::string> addresses;
    size_t start = 0;
    for (;;) {
        const size_t comma = remoteAddress.find(',', start);
        const size_t end = comma == std::string::npos ? remoteAddress.size() : comma;
        const size_t first = remoteAddress.find_first_not_of(" \t", start);
        if (first != std::string::npos && first < end) {
            const size_t last = remoteAddress.find_last_not_of(" \t", end - 1);
            addresses.push_back(remoteAddress.substr(first, last - first + 1));
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (addresses.empty())
        addresses.emplace_back();
    return addresses;
}

UpdateConfig ReadUpdateConfig(const std::string& path) {
    using namespace configfile;
    const std::string profile = ProfilePath(path);
    UpdateConfig c;
    c.remoteAddress = ReadText(kServer, kRemoteAddress, "", profile);
    const std::string protocol = ReadText(kServer, kProtocol, kFtp, profile);
    c.protocol = _stricmp(protocol.c_str(), kFtp) == 0     ? PROTOCOL_FTP
                 : _stricmp(protocol.c_str(), kHttps) == 0 ? PROTOCOL_HTTPS
                                                           : PROTOCOL_HTTP;
    c.remotePort =
        static_cast<int>(::GetPrivateProfileIntA(kServer, kRemotePort, 0, profile.c_str()));
    c.loginName = ReadText(kServer, kLoginName, "", profile);
    c.loginPassword = ReadText(kServer, kLoginPassword, "", profile);
    c.remoteVersionFile = ReadText(kServer, kRemoteVersionFile, "", profile);
    c.localVersionFile = ReadText(kLocal, kLocalVersionFile, "", profile);
    c.defaultExecFile = ReadText(kLocal, kDefaultExecFile, "", profile);
    if (HasKey(kServer, kSigningKey, profile))
        c.signingKey = ReadText(kServer, kSigningKey, "", profile, kSigningKeyBufferSize);
    c.passiveMode = ::GetPrivateProfileIntA(kServer, kPassiveMode, 0, profile.c_str()) != 0;
    c.proxy = ReadText(kServer, kProxy, "", profile);
    c.proxyBypass = ReadText(kServer, kProxyBypass, "", profile);
    c.proxyLoginName = ReadText(kServer, kProxyLoginName, "", profile);
    c.proxyLoginPassword = ReadText(kServer, kProxyLoginPassword, "", profile);
    c.reportUrl = ReadText(kReport, kReportUrl, "", profile);
    return c;
}

void TraceConfig(CTraceBase& trace, const std::string& path, const UpdateConfig& c) {
    trace.Trace(TRACE_INFO, "LoadConfig : Config File  = %s", path.c_str());
    trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Remote Address         = %s",
                c.remoteAddress.c_str());
    trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Protocol(1=FTP,3=HTTP) = %d", c.protocol);
    trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Remote Port            = %d", c.remotePort);
    trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Login Name             = %s",
                c.loginName.c_str());
    trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Login PW               = %s", kHiddenPassword);
    trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Version File           = %s",
                c.remoteVersionFile.c_str());
    trace.Trace(TRACE_INFO, "LoadConfig : [LOCAL] Version File            = %s",
                c.localVersionFile.c_str());
    trace.Trace(TRACE_INFO, "LoadConfig : [LOCAL]  Default Exec Filee     = %s",
                c.defaultExecFile.c_str());
    if (c.signingKey)
        trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Signing Key            = %s",
                    c.signingKey->c_str());
    if (c.passiveMode)
        trace.Trace(TRACE_INFO, "LoadConfig : [SERVER] Passive Mode           = 1");
}
