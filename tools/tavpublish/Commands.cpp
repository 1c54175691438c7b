#include "Commands.h"

#include "Keys.h"
#include "Publish.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

int Fail(const std::string& message) {
    std::fprintf(stderr, "tavpublish: %s\n", message.c_str());
    return 1;
}

bool IsRegularFile(const std::string& path) {
    struct stat s;
    return ::stat(path.c_str(), &s) == 0 && S_ISREG(s.st_mode);
}

bool ParseSerial(const std::string& text, unsigned long long& serial) {
    return versionlist::FindSerial(";serial=" + text, serial) == versionlist::SERIAL_FOUND;
}

bool ListPathOf(const Args& args, const std::string& folder, const std::string& list,
                std::string& listPath) {
    if (!args.listPath.empty()) {
        listPath = args.listPath;
        return true;
    }
    return publish::ListPathBelow(folder, list, listPath);
}

void CheckLocalFiles(const std::string& file, const std::vector<publish::ListedModule>& modules,
                     std::vector<std::string>& problems) {
    for (const std::pair<int, int>& r : publish::RepeatedLocalFiles(modules)) {
        const auto m =
            std::find_if(modules.begin(), modules.end(),
                         [&](const publish::ListedModule& x) { return x.line == r.first; });
        problems.push_back(file + ":" + std::to_string(r.first) + ": " +
                           publish::Shown(m->record.localFile) + " is the local file of line " +
                           std::to_string(r.second) + " too; one file cannot hold two modules");
    }
}

int Keygen(const Args& args) {
    if (args.positional.size() != 1)
        return Fail("keygen wants one KEYFILE (see tavpublish keygen --help)");
    std::string error;
    EvpKey key = NewSigningKey(error);
    if (!key || !WritePrivateKey(key.get(), args.positional[0], error))
        return Fail(error);
    std::printf("Signing Key=%s\n", SigningKeyValue(key.get()).c_str());
    return 0;
}
