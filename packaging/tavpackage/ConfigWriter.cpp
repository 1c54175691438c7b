#include "ConfigWriter.h"

#include "ConfigFile.h"
#include "TextConvert.h"

bool ToCodePage949(const std::string& utf8, std::string& bytes) {
    size_t failedAt = 0;
    if (ConvertText(utf8, "UTF-8", "CP949", bytes, failedAt))
        return true;
    bytes.clear();
    return false;
}

std::string ConfigFileBytes(const PackageSettings& s) {
    std::string text;
    auto section = [&](const char* name) { text += std::string("[") + name + "]\r\n"; };
    auto line = [&](const char* key, const std::string& value) {
        text += std::string(key) + "=" + value + "\r\n";
    };
    section(configfile::kServer);
    line(configfile::kRemoteAddress, s.server);
    line(configfile::kProtocol, s.protocol);
    if (s.ftpPassive)
        line(configfile::kPassiveMode, "1");
    line(configfile::kRemotePort, s.port);
    line(configfile::kLoginName, s.login);
    line(configfile::kLoginPassword, s.password);
    line(configfile::kRemoteVersionFile, s.remoteList);
    if (!s.signingKey.empty())
        line(configfile::kSigningKey, s.signingKey);
    const std::pair<const char*, const std::string*> proxy[] = {
        {configfile::kProxy, &s.proxy},
        {configfile::kProxyBypass, &s.proxyBypass},
        {configfile::kProxyLoginName, &s.proxyLoginName},
        {configfile::kProxyLoginPassword, &s.proxyLoginPassword}};
    for (const auto& value : proxy)
        if (!value.second->empty())
            line(value.first, *value.second);
    section(configfile::kLocal);
    line(configfile::kLocalVersionFile, s.localList);
    line(configfile::kDefaultExecFile, s.defaultExec);
    std::string bytes;
    ToCodePage949(text, bytes); // every value was checked to convert
    return bytes;
}
