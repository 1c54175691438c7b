#include "AULMgr.h"

#include <io.h>

#include <cstdio>

int CAULMgr::ConnectServer() {
    SetStatus(STATUS_CONNECT);
    const UpdateConfig& c = m_config;
    const int port = static_cast<unsigned short>(c.remotePort);
    if (!m_downloader.SetLoginInfo(c.remoteAddress, c.protocol, port, c.loginName,
                                   c.loginPassword)) {
        Trace(TRACE_ERROR, "ConnectServer :  ERROR SetLoginInfo(%s, %d,  %d, %s, %s) ",
              c.remoteAddress.c_str(), c.protocol, port, c.loginName.c_str(),
              c.loginPassword.c_str());
        return 0;
    }
    int connected = m_downloader.Connect();
    if (connected)
        Trace(TRACE_INFO, "ConnectServer(%s, %d, %d, %s, %s) : OK", c.remoteAddress.c_str(),
              c.protocol, c.remotePort, c.loginName.c_str(), c.loginPassword.c_str());
    else
        Trace(TRACE_ERROR, "ConnectServer(%s, %d,  %d, %s, %s) : ERROR", c.remoteAddress.c_str(),
              c.protocol, c.remotePort, c.loginName.c_str(), c.loginPassword.c_str());
    return connected;
}

int CAULMgr::ParseVersionInfo() {
    // A signed pass reads the bytes whose signature it checked: the file could
    // have been changed since.
    if (_IsSigningOn()) {
        ClearModules();
        size_t position = 0;
        std::string line;
        while (versionlist::ReadTextLine(m_strVerifiedList, position, line))
            _AddModuleLine(line);
        return 1;
    }
    const std::string& path = m_config.localVersionFile;
    if (_access(path.c_str(), 0) != 0) {
        Trace(TRACE_ERROR, "ParseVersionInfo : ERROR, version file(%s) does not exist",
              path.c_str());
        return 0;
    }
    FILE* file = std::fopen(path.c_str(), "rt");
    if (!file) {
        Trace(TRACE_ERROR, "ParseVersionInfo : ERROR, open version file(%s), EC =%d", path.c_str(),
              static_cast<int>(::GetLastError()));
        return 0;
    }

    ClearModules();
    std::string line;
    while (versionlist::ReadLine(file, line))
        _AddModuleLine(line);
    std::fclose(file);
    return 1;
}

void CAULMgr::_AddModuleLine(const std::string& line) {
    auto record = std::make_unique<ModuleRecord>();
    if (!versionlist::ParseLine(*this, line, *record))
        return;
    if (_IsSigningOn() && record->sha256.empty()) {
        // Only bytes the publisher's signature covers are installed.
        Trace(TRACE_ERROR,
              "ParseVersionInfo : ERROR, no SHA-256 in a signed list, skipped : %s | %s",
              record->localFile.c_str(), record->remoteFile.c_str());
        return;
    }
    m_modules.push_back(std::move(record));
    const ModuleRecord& r = *m_modules.back();
    Trace(TRACE_INFO, "ParseVersionInfo : Module[%2d] = %s | %s | %s ",
          static_cast<int>(m_modules.size()), r.localFile.c_str(), r.remoteFile.c_str(),
          r.updateOption.c_str());
}

int CAULMgr::SplitList(char delimiter, std::string text, std::vector<std::string>& fields) {
    return versionlist::SplitFields(*this, delimiter, std::move(text), fields);
}
