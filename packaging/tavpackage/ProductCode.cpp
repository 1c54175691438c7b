#include "ProductCode.h"

#include "Encoding.h"
#include "Keys.h"

#include <openssl/evp.h>

#include <cctype>
#include <string>

const char kUpgradeCode[] = "{D7F4CD3B-79B7-4D0F-94FB-0C3D00C70D22}";

std::string SiteList(const std::vector<std::string>& sites) {
    if (sites.empty())
        return std::string();
    std::string list = "[~]";
    for (const std::string& site : sites)
        list += site + "[~]";
    return list;
}

namespace {

std::string Digest(const EVP_MD* md, const std::string& data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), digest, &size, md, nullptr);
    return std::string(reinterpret_cast<char*>(digest), size);
}

// RFC 4122 version 5: SHA-1 over the namespace's 16 bytes and the name.
std::string NameBasedUuid(const std::string& space, const std::string& name) {
    std::string bytes;
    for (char c : space) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            bytes += c;
    }
    std::string raw;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        raw += static_cast<char>(std::stoi(bytes.substr(i, 2), nullptr, 16));
    std::string hash = Digest(EVP_sha1(), raw + name).substr(0, 16);
    hash[6] = static_cast<char>((hash[6] & 0x0f) | 0x50);
    hash[8] = static_cast<char>((hash[8] & 0x3f) | 0x80);
    std::string hex = encoding::HexText(hash.data(), hash.size());
    for (char& c : hex)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return "{" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
           hex.substr(16, 4) + "-" + hex.substr(20) + "}";
}

} // namespace

bool ProductCode(const std::string& filesDir, const std::string& wxsPath,
                 const std::string& siteList, const std::string& traceLevel,
                 const std::string& schedule, std::string& code, std::string& error) {
    std::string description, hex;
    for (const char* file : {"TavUpdate.exe", "TavUpdateInfo.ini", "TavWebOmblet.ocx"}) {
        if (!Sha256File(filesDir + "/" + file, hex, error))
            return false;
        description += hex + "  " + file + "\n";
    }
    if (!Sha256File(wxsPath, hex, error))
        return false;
    description += hex + "  -\n" + siteList + "\n";
    if (!traceLevel.empty())
        description += "TraceLevel=" + traceLevel + "\n";
    if (!schedule.empty())
        description += "Schedule=" + schedule + "\n";
    const std::string payload = Digest(EVP_sha256(), description);
    code = NameBasedUuid(kUpgradeCode, encoding::HexText(payload.data(), payload.size()));
    return true;
}
