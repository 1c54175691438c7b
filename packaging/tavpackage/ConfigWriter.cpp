#include "ConfigWriter.h"

#include "ConfigFile.h"

#include <iconv.h>

bool ToCodePage949(const std::string& utf8, std::string& bytes) {
    iconv_t cd = ::iconv_open("CP949", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = utf8;
    bytes.assign(in.size() + 1, '\0'); // code page 949 takes no more bytes than UTF-8
    char* from = &in[0];
    char* to = &bytes[0];
    size_t fromLeft = in.size(), toLeft = bytes.size();
    bool ok = ::iconv(cd, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1);
    ::iconv_close(cd);
    bytes.resize(ok ? bytes.size() - toLeft : 0);
    return ok;
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
    section(configfile::kLocal);
    line(configfile::kLocalVersionFile, s.localList);
    line(configfile::kDefaultExecFile, s.defaultExec);
    std::string bytes;
    ToCodePage949(text, bytes); // every value was checked to convert
    return bytes;
}
