// tavpublish: makes signing keys, builds signed version lists for TavUpdate
// and checks them against the server folder.
#include "Commands.h"

#include <cstdio>
#include <string>

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tavpublish keygen KEYFILE\n"
    "  tavpublish build [--key KEYFILE] [--serial N] [--list-path PATH]\n"
    "                   [--expires-days N | --no-expiry] LISTING SERVER_DIR LIST\n"
    "  tavpublish verify [--key KEY] [--list-path PATH] LIST SERVER_DIR\n"
    "  tavpublish COMMAND --help\n"
    "Makes a signing key, builds a version list with each module's SHA-256, a\n"
    "serial and its signature (LIST.sig), and checks a list as TavUpdate would.\n";

const char kKeygenHelp[] =
    "Usage: tavpublish keygen KEYFILE\n"
    "Makes a new RSA-3072 signing key and writes it to KEYFILE (PEM, readable by\n"
    "its owner only; an existing file is never overwritten). Prints the line to\n"
    "put into the [SERVER] section of every TavUpdateInfo.ini:\n"
    "  Signing Key=<base64 of the public key>\n"
    "Keep KEYFILE secret: every updater holding that line installs what it signs.\n";

const char kBuildHelp[] =
    "Usage: tavpublish build [--key KEYFILE] [--serial N] [--list-path PATH]\n"
    "                        [--expires-days N | --no-expiry] LISTING SERVER_DIR LIST\n"
    "Writes the version list LIST from LISTING, a UTF-8 file of lines\n"
    "  local path | remote path | options\n"
    "(\";\" starts a comment; options are the letters F, R, E, or nothing). Every\n"
    "remote path must name a file below SERVER_DIR, the folder the update server\n"
    "serves, by its UTF-8 name (percent escapes are decoded, as HTTP servers do).\n"
    "LIST, in code page 949 (the updater's), gets each module's SHA-256 and size\n"
    "and a serial one above the list it replaces (1 for a new list; --serial N\n"
    "sets it, always above the old one). It names the list path it is for\n"
    "(\";list=\": LIST's path below SERVER_DIR, or --list-path PATH, the \"Remote\n"
    "Version File\" of the updaters it serves): updaters of another list path\n"
    "refuse it. It expires after --expires-days N days (default 90; \";expires=\"),\n"
    "after which updaters refuse it: publish again before then. --no-expiry\n"
    "writes none.\n"
    "With --key, LIST.sig gets the signature that updaters configured with the\n"
    "key's \"Signing Key\" check; without it, a LIST.sig left from before is\n"
    "removed. Nothing is written when anything is wrong.\n";

const char kVerifyHelp[] =
    "Usage: tavpublish verify [--key KEY] [--list-path PATH] LIST SERVER_DIR\n"
    "Checks LIST as TavUpdate would, against the files in SERVER_DIR: the\n"
    "signature in LIST.sig (KEY is the private or public key file, or the\n"
    "\"Signing Key\" value; without --key the signature is not checked), the\n"
    "serial, the list path it names (LIST's path below SERVER_DIR, or --list-path\n"
    "PATH), its expiry, and the SHA-256 and size of every module. Names\n"
    "everything that is wrong.\n"
    "Exit status 0 when nothing is, 1 otherwise.\n";

// Options anywhere among the arguments; false on an unknown one or one the
// command does not take.
bool ParseArgs(int argc, char** argv, bool building, Args& args) {
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        const bool value = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            args.help = true;
        } else if (a == "--key" && value) {
            args.key = argv[++i];
        } else if (a == "--list-path" && value) {
            args.listPath = argv[++i];
        } else if (building && a == "--serial" && value) {
            args.serial = argv[++i];
        } else if (building && a == "--expires-days" && value) {
            args.expiresDays = argv[++i];
        } else if (building && a == "--no-expiry") {
            args.noExpiry = true;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "tavpublish: unknown option %s\n", a.c_str());
            return false;
        } else {
            args.positional.push_back(a);
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    struct {
        const char* name;
        const char* help;
        int (*run)(const Args&);
        bool building;
    } commands[] = {{"keygen", kKeygenHelp, Keygen, false},
                    {"build", kBuildHelp, Build, true},
                    {"verify", kVerifyHelp, Verify, false}};
    for (const auto& c : commands) {
        if (command != c.name)
            continue;
        Args args;
        if (!ParseArgs(argc, argv, c.building, args)) {
            std::fputs(c.help, stderr);
            return 2;
        }
        if (args.help) {
            std::fputs(c.help, stdout);
            return 0;
        }
        return c.run(args);
    }
    std::fputs(kUsage, stderr);
    return 2;
}
