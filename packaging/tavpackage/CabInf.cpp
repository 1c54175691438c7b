#include "CabInf.h"

namespace {

// The browser's code download runs the unconditional hook after it has
// extracted the cabinet: advpack installs the section from this same INF.
// 0x00014000 is FLG_ADDREG_TYPE_MULTI_SZ | FLG_ADDREG_32BITKEY: the control
// reads the 32-bit registry view.
const char kSiteLock[] = "\n"
                         "[Setup Hooks]\n"
                         "SiteLock=SiteLock\n"
                         "\n"
                         "[SiteLock]\n"
                         "InfFile=TavWebOmblet.inf\n"
                         "InfSection=SiteLock.Install\n"
                         "\n"
                         "[SiteLock.Install]\n"
                         "AddReg=SiteLock.AddReg\n"
                         "\n"
                         "[SiteLock.AddReg]\n"
                         "HKLM,\"SOFTWARE\\Tav\\TavWebOmblet\",\"AllowedSites\",0x00014000";

} // namespace

std::string CabInfText(const std::string& templateText, const std::string& fileVersion,
                       const std::vector<std::string>& sites) {
    std::string text = templateText;
    const std::string placeholder = "@FILE_VERSION@";
    const size_t at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), fileVersion);
    if (!sites.empty()) {
        text += kSiteLock;
        // Site entries hold no quotes or percent signs (the control's parser
        // takes host names only), so they go between quotes as they are.
        for (const std::string& site : sites)
            text += ",\"" + site + "\"";
        text += "\n";
    }
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    return crlf;
}
