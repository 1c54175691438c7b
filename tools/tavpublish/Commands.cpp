#include "Commands.h"

#include "Keys.h"
#include "Publish.h"

#include <sys/stat.h>

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
