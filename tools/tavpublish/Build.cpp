// tavpublish build: the signed version list from a listing and the files the
// server folder holds.
#include "Commands.h"
#include "Keys.h"
#include "Publish.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

// The updater reads a line in chunks of 1023 bytes with its line end.
const size_t kMaxLineText = 1021;

// A list built without --expires-days lasts this long.
const char kDefaultExpiryDays[] = "90";

bool ReadListing(const std::string& listing, std::vector<publish::ListedModule>& modules,
                 std::vector<std::string>& problems, std::string& error) {
    std::vector<int> skipped;
    if (!publish::ReadModules(listing, true, modules, skipped, error))
        return false;
    for (int line : skipped)
        problems.push_back(listing + ":" + std::to_string(line) +
                           ": not \"local path | remote path | options\"");
    if (modules.empty() && skipped.empty())
        problems.push_back(listing + ": no module lines");
    CheckLocalFiles(listing, modules, problems);
    return true;
}

// Gives the module the SHA-256 and size of its server file and returns its
// list line; an empty line, with the problem, when it has none.
std::string ModuleLine(const std::string& folder, ModuleRecord& r, std::string& problem) {
    std::string path;
    if (!publish::ResolveRemote(folder, r.remoteFile, path, problem))
        return "";
    if (!IsRegularFile(path)) {
        problem = r.remoteFile + ": no file " + path;
        return "";
    }
    if (!Sha256File(path, r.sha256, problem))
        return "";
    struct stat st;
    r.size = ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    if (r.updateOption == "-")
        r.updateOption.clear();
    std::string line = publish::ModuleLine(r);
    // What the updater reads back must be this very module.
    if (line.size() > kMaxLineText || !publish::ReadsBackAs(line, r)) {
        problem = "the updater would not read this module back as written";
        return "";
    }
    return line;
}

std::string ModuleLines(const std::string& listing, const std::string& folder,
                        std::vector<publish::ListedModule>& modules,
                        std::vector<std::string>& problems) {
    std::string lines;
    for (publish::ListedModule& m : modules) {
        std::string problem;
        const std::string line = ModuleLine(folder, m.record, problem);
        if (line.empty())
            problems.push_back(listing + ":" + std::to_string(m.line) + ": " + problem);
        else
            lines += line + "\r\n";
    }
    return lines;
}

// One above the serial of the list being replaced (1 for a new list), or
// --serial's, which must be above it too. False when the old list cannot be
// read.
bool NextSerial(const Args& args, const std::string& listPath, unsigned long long& serial,
                std::vector<std::string>& problems, std::string& error) {
    unsigned long long previous = 0;
    std::string old;
    serial = 1;
    const bool replacing = IsRegularFile(listPath);
    if (replacing && !publish::ReadFile(listPath, old, error))
        return false;
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
    return true;
}

void ExpiryDays(const Args& args, unsigned long long& days, std::vector<std::string>& problems) {
    const std::string& text = args.expiresDays.empty() ? kDefaultExpiryDays : args.expiresDays;
    if (args.noExpiry && !args.expiresDays.empty())
        problems.push_back("--no-expiry and --expires-days exclude each other");
    else if (!ParseSerial(text, days) || days == 0 || days > 36500)
        problems.push_back("--expires-days " + text + ": not a number of days from 1 to 36500");
}

std::string ListText(const Args& args, unsigned long long serial, const std::string& listPathText,
                     unsigned long long days, const std::string& lines) {
    std::string text =
        "; TavUpdate version list, written by tavpublish\r\n;serial=" + std::to_string(serial) +
        "\r\n;list=" + listPathText + "\r\n";
    if (!args.noExpiry)
        text += ";expires=" +
                publish::UtcTimeText(static_cast<long long>(std::time(nullptr)) +
                                     static_cast<long long>(days) * 86400) +
                "\r\n";
    return text + lines;
}

// The list, then its signature (or, unsigned, no signature left from before).
bool WriteList(const std::string& listPath, const std::string& text, EVP_PKEY* key,
               std::string& error) {
    std::string signature;
    if (key && !Sign(key, text, signature, error))
        return false;
    const std::string sigPath = listPath + ".sig";
    if (!publish::ReplaceFile(listPath, text, error) ||
        (key && !publish::ReplaceFile(sigPath, signature, error)))
        return false;
    if (!key && ::unlink(sigPath.c_str()) == 0)
        std::printf("removed %s: it signed an earlier list\n", sigPath.c_str());
    return true;
}

} // namespace

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
    std::vector<std::string> problems;
    if (!ReadListing(listing, modules, problems, error))
        return Fail(error);
    const std::string lines = ModuleLines(listing, folder, modules, problems);
    unsigned long long serial = 1, days = 0;
    if (!NextSerial(args, listPath, serial, problems, error))
        return Fail(error);
    std::string listPathText;
    if (!ListPathOf(args, folder, listPath, listPathText))
        problems.push_back(listPath + " is not below " + folder +
                           ": give --list-path, the Remote Version File of the updaters");
    ExpiryDays(args, days, problems);
    if (!problems.empty()) {
        for (const std::string& p : problems)
            std::fprintf(stderr, "tavpublish: %s\n", p.c_str());
        return Fail("nothing written");
    }

    if (!WriteList(listPath, ListText(args, serial, listPathText, days, lines), key.get(), error))
        return Fail(error);
    std::printf("wrote %s: serial %llu, %zu modules%s\n", listPath.c_str(), serial, modules.size(),
                key ? (", signed in " + listPath + ".sig").c_str() : ", not signed");
    return 0;
}
