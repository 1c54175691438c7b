// tavpublish: makes signing keys, builds signed version lists for TavUpdate
// and checks them against the server folder.
#include "Keys.h"
#include "Publish.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

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

// The updater reads a line in chunks of 1023 bytes with its line end.
const size_t kMaxLineText = 1021;

// A list built without --expires-days lasts this long.
const char kDefaultExpiryDays[] = "90";

struct Args {
    std::vector<std::string> positional;
    std::string key, serial, listPath, expiresDays;
    bool noExpiry = false;
    bool help = false;
};

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

// The list path updaters ask for: --list-path, else the list's path below the
// server folder.
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

int Build(const Args& args) {
    if (args.positional.size() != 3)
        return Fail("build wants LISTING SERVER_DIR LIST (see tavpublish build --help)");
    const std::string& listing = args.positional[0];
    const std::string& folder = args.positional[1];
    const std::string& listPath = args.positional[2];
    std::string error;
    EvpKey key;
    if (!args.key.empty() && !(key = LoadKey(args.key, true, error)))
        return Fail(error);

    std::vector<publish::ListedModule> modules;
    std::vector<int> skipped;
    if (!publish::ReadModules(listing, true, modules, skipped, error))
        return Fail(error);
    std::vector<std::string> problems;
    for (int line : skipped)
        problems.push_back(listing + ":" + std::to_string(line) +
                           ": not \"local path | remote path | options\"");
    if (modules.empty() && skipped.empty())
        problems.push_back(listing + ": no module lines");

    std::string lines;
    for (publish::ListedModule& m : modules) {
        ModuleRecord& r = m.record;
        const std::string where = listing + ":" + std::to_string(m.line) + ": ";
        std::string path;
        if (!publish::ResolveRemote(folder, r.remoteFile, path, error)) {
            problems.push_back(where + error);
            continue;
        }
        if (!IsRegularFile(path)) {
            problems.push_back(where + r.remoteFile + ": no file " + path);
            continue;
        }
        if (!Sha256File(path, r.sha256, error)) {
            problems.push_back(where + error);
            continue;
        }
        struct stat st;
        r.size = ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
        if (r.updateOption == "-")
            r.updateOption.clear();
        std::string line = publish::ModuleLine(r);
        // What the updater reads back must be this very module.
        if (line.size() > kMaxLineText || !publish::ReadsBackAs(line, r)) {
            problems.push_back(where + "the updater would not read this module back as written");
            continue;
        }
        lines += line + "\r\n";
    }

    unsigned long long previous = 0, serial = 1;
    std::string old;
    const bool replacing = IsRegularFile(listPath);
    if (replacing && !publish::ReadFile(listPath, old, error))
        return Fail(error);
    const bool havePrevious =
        replacing && versionlist::FindSerial(old, previous) == versionlist::SERIAL_FOUND;
    if (!args.serial.empty()) {
        if (!ParseSerial(args.serial, serial))
            problems.push_back("--serial " + args.serial + ": not a number up to 2^64 - 1");
        else if (havePrevious && serial <= previous)
            // Two lists under one serial would let the older be served again.
            problems.push_back("--serial " + args.serial + " is not above " +
                               std::to_string(previous) + " of " + listPath +
                               "; updaters that accepted that list would take both");
    } else if (havePrevious) {
        if (previous == ~0ULL)
            problems.push_back(listPath + ": its serial is the highest there is");
        serial = previous + 1;
    }
    std::string listPathText;
    if (!ListPathOf(args, folder, listPath, listPathText))
        problems.push_back(listPath + " is not below " + folder +
                           ": give --list-path, the Remote Version File of the updaters");
    unsigned long long days = 0;
    const std::string& daysText = args.expiresDays.empty() ? kDefaultExpiryDays : args.expiresDays;
    if (args.noExpiry && !args.expiresDays.empty())
        problems.push_back("--no-expiry and --expires-days exclude each other");
    else if (!ParseSerial(daysText, days) || days == 0 || days > 36500)
        problems.push_back("--expires-days " + daysText + ": not a number of days from 1 to 36500");
    if (!problems.empty()) {
        for (const std::string& p : problems)
            std::fprintf(stderr, "tavpublish: %s\n", p.c_str());
        return Fail("nothing written");
    }

    std::string text =
        "; TavUpdate version list, written by tavpublish\r\n;serial=" + std::to_string(serial) +
        "\r\n;list=" + listPathText + "\r\n";
    if (!args.noExpiry)
        text += ";expires=" +
                publish::UtcTimeText(static_cast<long long>(std::time(nullptr)) +
                                     static_cast<long long>(days) * 86400) +
                "\r\n";
    text += lines;
    std::string signature;
    if (key && !Sign(key.get(), text, signature, error))
        return Fail(error);
    const std::string sigPath = listPath + ".sig";
    if (!publish::ReplaceFile(listPath, text, error) ||
        (key && !publish::ReplaceFile(sigPath, signature, error)))
        return Fail(error);
    if (!key && ::unlink(sigPath.c_str()) == 0)
        std::printf("removed %s: it signed an earlier list\n", sigPath.c_str());
    std::printf("wrote %s: serial %llu, %zu modules%s\n", listPath.c_str(), serial, modules.size(),
                key ? (", signed in " + sigPath).c_str() : ", not signed");
    return 0;
}

int Verify(const Args& args) {
    if (args.positional.size() != 2)
        return Fail("verify wants LIST SERVER_DIR (see tavpublish verify --help)");
    const std::string& listPath = args.positional[0];
    const std::string& folder = args.positional[1];
    std::string error, list;
    if (!publish::ReadFile(listPath, list, error))
        return Fail(error);
    std::vector<std::string> problems;

    if (args.key.empty()) {
        std::printf("signature: not checked (no --key)\n");
    } else {
        EvpKey key = LoadKey(args.key, false, error);
        if (!key)
            return Fail(error);
        std::string signature;
        if (!publish::ReadFile(listPath + ".sig", signature, error))
            problems.push_back(error);
        else if (!Verify(key.get(), list, signature))
            problems.push_back(listPath + ".sig: not a signature of " + listPath +
                               " by this key (list changed, or another key)");
    }

    unsigned long long serial = 0;
    switch (versionlist::FindSerial(list, serial)) {
    case versionlist::SERIAL_MISSING:
        problems.push_back(listPath + ": no \";serial=\" line; signing updaters refuse it");
        break;
    case versionlist::SERIAL_INVALID:
        problems.push_back(listPath + ": the first \";serial=\" line holds no number up to "
                                      "2^64 - 1; signing updaters refuse it");
        break;
    case versionlist::SERIAL_FOUND:
        break;
    }

    std::string listed, expected, expires;
    if (!versionlist::FindComment(list, "list", listed))
        problems.push_back(listPath + ": no \";list=\" line; signing updaters refuse it");
    else if (!ListPathOf(args, folder, listPath, expected))
        problems.push_back(listPath + " is not below " + folder + ": give --list-path");
    else if (versionlist::TrimmedBlanks(listed) != versionlist::TrimmedBlanks(expected))
        problems.push_back(listPath + ": built for list path " + listed + ", not " + expected +
                           "; updaters asking for " + expected + " refuse it");
    long long expiry = 0;
    if (!versionlist::FindComment(list, "expires", expires))
        std::printf("%s: no expiry\n", listPath.c_str());
    else if (!versionlist::ParseUtcTime(expires, expiry))
        problems.push_back(listPath + ": \";expires=" + expires +
                           "\" is not YYYY-MM-DDTHH:MM:SSZ; signing updaters refuse it");
    else if (expiry <= static_cast<long long>(std::time(nullptr)))
        problems.push_back(listPath + ": expired at " + expires +
                           "; signing updaters refuse it (publish it again)");
    else
        std::printf("%s: expires at %s\n", listPath.c_str(), expires.c_str());

    std::vector<publish::ListedModule> modules;
    std::vector<int> skipped;
    if (!publish::ReadModules(listPath, false, modules, skipped, error))
        return Fail(error);
    for (int line : skipped)
        std::printf("%s:%d: not a module line; updaters skip it\n", listPath.c_str(), line);
    if (modules.empty())
        problems.push_back(listPath + ": no module lines");
    for (const publish::ListedModule& m : modules) {
        const ModuleRecord& r = m.record;
        const std::string where = listPath + ":" + std::to_string(m.line) + ": ";
        if (r.sha256.empty() || r.size < 0) {
            problems.push_back(where + r.localFile +
                               ": no sha256 or size field; signing updaters skip it");
            continue;
        }
        std::string path, actual;
        if (!publish::ResolveRemote(folder, r.remoteFile, path, error) ||
            !Sha256File(path, actual, error)) {
            problems.push_back(where + error);
            continue;
        }
        struct stat st;
        const long long size = ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
        if (actual != r.sha256)
            problems.push_back(where + r.remoteFile + ": SHA-256 is " + actual +
                               ", the list says " + r.sha256 +
                               " (changed after the list was built)");
        else if (size != r.size)
            problems.push_back(where + r.remoteFile + ": " + std::to_string(size) +
                               " bytes, the list says " + std::to_string(r.size));
    }

    for (const std::string& p : problems)
        std::printf("%s\n", p.c_str());
    if (!problems.empty()) {
        std::printf("%zu problem(s) in %s\n", problems.size(), listPath.c_str());
        return 1;
    }
    std::printf("OK: %s, serial %llu, %zu modules%s\n", listPath.c_str(), serial, modules.size(),
                args.key.empty() ? "" : ", signature good");
    return 0;
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
