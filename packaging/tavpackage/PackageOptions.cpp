#include "PackageSettings.h"

namespace {

struct Option {
    const char* name;
    std::string PackageSettings::*text; // or, when null, a site entry
    bool isFile;
};

const Option kOptions[] = {
    {"--server", &PackageSettings::server, false},
    {"--protocol", &PackageSettings::protocol, false},
    {"--port", &PackageSettings::port, false},
    {"--login", &PackageSettings::login, false},
    {"--password", &PackageSettings::password, false},
    {"--remote-version-file", &PackageSettings::remoteList, false},
    {"--local-version-file", &PackageSettings::localList, false},
    {"--default-exec-file", &PackageSettings::defaultExec, false},
    {"--signing-key", &PackageSettings::signingKey, false},
    {"--allowed-site", nullptr, false},
    {"--cert", &PackageSettings::cert, true},
    {"--cert-key", &PackageSettings::certKey, true},
    {"--cert-password-file", &PackageSettings::certPassword, true},
    {"--publisher-url", &PackageSettings::publisherUrl, false},
    {"--binaries", &PackageSettings::binaries, true},
    {"--out", &PackageSettings::out, true},
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
