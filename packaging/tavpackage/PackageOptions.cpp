#include "PackageSettings.h"

namespace {

struct Option {
    const char* name;
    std::string PackageSettings::*text; // null for a site entry and a switch
    bool isFile;
    bool PackageSettings::*flag; // a switch, which takes no value
};

const Option kOptions[] = {
    {"--server", &PackageSettings::server, false, nullptr},
    {"--protocol", &PackageSettings::protocol, false, nullptr},
    {"--ftp-passive", nullptr, false, &PackageSettings::ftpPassive},
    {"--port", &PackageSettings::port, false, nullptr},
    {"--login", &PackageSettings::login, false, nullptr},
    {"--password", &PackageSettings::password, false, nullptr},
    {"--remote-version-file", &PackageSettings::remoteList, false, nullptr},
    {"--local-version-file", &PackageSettings::localList, false, nullptr},
    {"--default-exec-file", &PackageSettings::defaultExec, false, nullptr},
    {"--signing-key", &PackageSettings::signingKey, false, nullptr},
    {"--unsigned-updates", nullptr, false, &PackageSettings::unsignedUpdates},
    {"--proxy", &PackageSettings::proxy, false, nullptr},
    {"--proxy-bypass", &PackageSettings::proxyBypass, false, nullptr},
    {"--proxy-login", &PackageSettings::proxyLogin, false, nullptr},
    {"--allowed-site", nullptr, false, nullptr},
    {"--any-site", nullptr, false, &PackageSettings::anySite},
    {"--trace-level", &PackageSettings::traceLevel, false, nullptr},
    {"--schedule", &PackageSettings::schedule, false, nullptr},
    {"--cert", &PackageSettings::cert, true, nullptr},
    {"--cert-key", &PackageSettings::certKey, true, nullptr},
    {"--cert-password-file", &PackageSettings::certPassword, true, nullptr},
    {"--publisher-url", &PackageSettings::publisherUrl, false, nullptr},
    {"--binaries", &PackageSettings::binaries, true, nullptr},
    {"--out", &PackageSettings::out, true, nullptr},
};

} // namespace

bool ParseOptions(const std::vector<std::string>& args, const std::string& cwd,
                  PackageSettings& settings, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool inlineValue = false;
        size_t equals = name.find('=', 2);
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            inlineValue = true;
        }
        if (name == "-h" || name == "--help") {
            settings.help = true;
            return true;
        }
        const Option* option = nullptr;
        for (const Option& candidate : kOptions)
            if (name == candidate.name)
                option = &candidate;
        if (!option) {
            error = "unknown option " + name + " (see --help)";
            return false;
        }
        if (option->flag) {
            if (inlineValue) {
                error = name + " takes no value";
                return false;
            }
            settings.*option->flag = true;
            continue;
        }
        if (!inlineValue) {
            if (i + 1 == args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (option->isFile && value.compare(0, 1, "/") != 0)
            value = cwd + "/" + value;
        if (option->text)
            settings.*option->text = value;
        else
            settings.sites.push_back(value);
    }
    return true;
}
