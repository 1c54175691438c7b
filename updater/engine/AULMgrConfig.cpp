#include "AULMgr.h"

#include <io.h>

#include <cstring>

namespace {
std::string ReadProfileText(const char* section, const char* key, const char* defaultValue,
                            const std::string& path) {
    char buffer[512];
    std::memset(buffer, 0, sizeof(buffer));
    ::GetPrivateProfileStringA(section, key, defaultValue, buffer, sizeof(buffer), path.c_str());
    return buffer;
}

// A 4096-bit key takes about 740 characters; a longer value is cut and then
// fails as a key, never read as signing off.
std::string ReadSigningKey(const std::string& path) {
    std::string buffer(4096, '\0');
    DWORD length = ::GetPrivateProfileStringA("SERVER", "Signing Key", "", &buffer[0],
                                              static_cast<DWORD>(buffer.size()), path.c_str());
    buffer.resize(length);
    return buffer;
}

// The profile functions look for a bare file name in the Windows folder,
// while the existence test looks in the current one; name the current folder
// so both read the same file.
std::string ProfilePath(const std::string& path) {
    if (path.find_first_of("\\/:") == std::string::npos)
        return ".\\" + path;
    return path;
}
} // namespace

int CAULMgr::LoadConfig(std::string path) {
    SetStatus(STATUS_LOAD_CONFIG);
    if (path.empty())
        path = ".\\TavUpdateInfo.ini";
    if (_access(path.c_str(), 0) != 0) {
        Trace(TRACE_ERROR,
              "ERROR : 설정 파일을 읽을수 없습니다.-%s \n해당 파일이 올바른 경로에 있는지 "
              "확인하시기 바랍니다.",
              path.c_str());
        return 0;
    }

    const std::string profile = ProfilePath(path);
    UpdateConfig& c = m_config;
    c.remoteAddress = ReadProfileText("SERVER", "Remote Address", "", profile);
    c.protocol = _stricmp(ReadProfileText("SERVER", "Protocol", "FTP", profile).c_str(), "FTP") == 0
                     ? PROTOCOL_FTP
                     : PROTOCOL_HTTP;
    c.remotePort =
        static_cast<int>(::GetPrivateProfileIntA("SERVER", "Remote Port", 0, profile.c_str()));
    c.loginName = ReadProfileText("SERVER", "Login Name", "", profile);
    c.loginPassword = ReadProfileText("SERVER", "Login Password", "", profile);
    c.remoteVersionFile = ReadProfileText("SERVER", "Remote Version File", "", profile);
    c.localVersionFile = ReadProfileText("LOCAL", "Local Version File", "", profile);
    c.defaultExecFile = ReadProfileText("LOCAL", "Default Exec File", "", profile);
    c.signingKey = ReadSigningKey(profile);

    Trace(TRACE_INFO, "LoadConfig : Config File  = %s", path.c_str());
    Trace(TRACE_INFO, "LoadConfig : [SERVER] Remote Address         = %s", c.remoteAddress.c_str());
    Trace(TRACE_INFO, "LoadConfig : [SERVER] Protocol(1=FTP,3=HTTP) = %d", c.protocol);
    Trace(TRACE_INFO, "LoadConfig : [SERVER] Remote Port            = %d", c.remotePort);
    Trace(TRACE_INFO, "LoadConfig : [SERVER] Login Name             = %s", c.loginName.c_str());
    Trace(TRACE_INFO, "LoadConfig : [SERVER] Login PW               = %s", c.loginPassword.c_str());
    Trace(TRACE_INFO, "LoadConfig : [SERVER] Version File           = %s",
          c.remoteVersionFile.c_str());
    Trace(TRACE_INFO, "LoadConfig : [LOCAL] Version File            = %s",
          c.localVersionFile.c_str());
    Trace(TRACE_INFO, "LoadConfig : [LOCAL]  Default Exec Filee     = %s",
          c.defaultExecFile.c_str());
    if (!c.signingKey.empty())
        Trace(TRACE_INFO, "LoadConfig : [SERVER] Signing Key            = %s",
              c.signingKey.c_str());
    return 1;
}
