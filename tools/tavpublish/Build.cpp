// tavpublish build: the signed version list from a listing and the files the
// server folder holds.
#include "Blocks.h"
#include "Commands.h"
#include "Keys.h"
#include "Publish.h"
#include "Store.h"

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

// A module copied into the store: from the release folder to its stored path.
struct Copy {
    std::string from, to, sha256;
};

// A block map to write: its path in the server folder, its text and digest.
struct MapFile {
    std::string path, text, sha256;
};

// Gives the module the SHA-256 and size of the file it names below the folder;
// false, with the problem, when there is none.
bool Describe(const std::string& folder, ModuleRecord& r, std::string& file, std::string& problem) {
    if (!publish::ResolveRemote(folder, r.remoteFile, file, problem))
        return false;
    if (!IsRegularFile(file)) {
        problem = publish::Shown(r.remoteFile) + ": no file " + file;
        return false;
    }
    if (!Sha256File(file, r.sha256, problem))
        return false;
    struct stat st;
    r.size = ::stat(file.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
    if (r.updateOption == "-")
        r.updateOption.clear();
    return true;
}

// Moves the module to its stored path below the store folder.
bool Store(const std::string& folder, ModuleRecord& r, const std::string& file,
           std::vector<Copy>& copies, std::string& problem) {
    r.remoteFile = store::StoredRemotePath(r.remoteFile, r.sha256);
    std::string to;
    if (!publish::ResolveRemote(folder, r.remoteFile, to, problem))
        return false;
    copies.push_back({file, to, r.sha256});
    return true;
}

// Cuts the module into its block map, named in its line: beside the module,
// or when storing, stored by the map's own digest. remote is the module's
// remote path in the release folder.
bool AddBlockMap(const std::string& folder, bool storing, const std::string& remote,
                 const std::string& file, ModuleRecord& r, std::vector<MapFile>& maps,
                 std::string& problem) {
    MapFile map;
    if (!blocks::MapOfFile(file, map.text, problem))
        return false;
    map.sha256 = Sha256Of(map.text);
    r.blocks = blocks::MapRemotePath(remote);
    if (storing)
        r.blocks = store::StoredRemotePath(r.blocks, map.sha256);
    r.blocksSha256 = map.sha256;
    if (!publish::ResolveRemote(folder, r.blocks, map.path, problem))
        return false;
    maps.push_back(map);
    return true;
}

// The module's list line; empty, with the problem, when the updater would
// not read it back as this very module.
std::string LineOf(const ModuleRecord& r, std::string& problem) {
    std::string line = publish::ModuleLine(r);
    if (line.size() > kMaxLineText) {
        problem = "its line would be " + std::to_string(line.size()) +
                  " bytes; the updater reads " + std::to_string(kMaxLineText) +
                  " at most (shorter paths" + (r.blocks.empty() ? "" : ", or no --blocks") + ")";
        return "";
    }
    if (!publish::ReadsBackAs(line, r)) {
        problem = "the updater would not read this module back as written";
        return "";
    }
    return line;
}

// The list lines of the modules found in the source folder; when storing,
// each at its stored path, with the copy to make.
std::string ModuleLines(const Args& args, const std::string& listing, const std::string& source,
                        std::vector<publish::ListedModule>& modules, std::vector<Copy>& copies,
                        std::vector<MapFile>& maps, std::vector<std::string>& problems) {
    const std::string& storeFolder = args.store;
    const std::string& folder = storeFolder.empty() ? source : storeFolder;
    std::string lines;
    for (publish::ListedModule& m : modules) {
        std::string file, problem, line;
        const std::string remote = m.record.remoteFile;
        if (Describe(source, m.record, file, problem) &&
            (storeFolder.empty() || Store(storeFolder, m.record, file, copies, problem)) &&
            (!args.blocks ||
             AddBlockMap(folder, !storeFolder.empty(), remote, file, m.record, maps, problem)))
            line = LineOf(m.record, problem);
        if (line.empty())
            problems.push_back(listing + ":" + std::to_string(m.line) + ": " + problem);
        else
            lines += line + "\r\n";
    }
    // A map written in place over a module the list names would change it;
    // a stored map has a folder of its own.
    if (!storeFolder.empty())
        return lines;
    for (const MapFile& map : maps) {
        for (const publish::ListedModule& m : modules) {
            std::string file, unused;
            if (publish::ResolveRemote(source, m.record.remoteFile, file, unused) &&
                file == map.path)
                problems.push_back(listing + ":" + std::to_string(m.line) + ": " + file +
                                   " is the block map of another module");
        }
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
    bool havePrevious =
        replacing && versionlist::FindSerial(old, previous) == versionlist::SERIAL_FOUND;
    // A kept list's serial is never taken again, whatever the list now holds.
    const std::vector<store::KeptList> kept =
        args.store.empty() ? std::vector<store::KeptList>() : store::KeptLists(listPath);
    if (!kept.empty() && (!havePrevious || kept[0].serial > previous)) {
        previous = kept[0].serial;
        havePrevious = true;
    }
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

// The ";rollout=" value: its start (now, or --rollout-start) and days.
void Rollout(const Args& args, std::string& rollout, std::vector<std::string>& problems) {
    if (args.rolloutDays.empty()) {
        if (!args.rolloutStart.empty())
            problems.push_back("--rollout-start needs --rollout-days");
        return;
    }
    unsigned long long days = 0;
    long long start = 0;
    if (!ParseSerial(args.rolloutDays, days) || days > 3650)
        problems.push_back("--rollout-days " + args.rolloutDays +
                           ": not a whole number of days from 0 to 3650");
    else if (!args.rolloutStart.empty() && !versionlist::ParseUtcTime(args.rolloutStart, start))
        problems.push_back("--rollout-start " + args.rolloutStart +
                           ": not YYYY-MM-DDTHH:MM:SSZ (UTC)");
    else
        rollout = (args.rolloutStart.empty()
                       ? publish::UtcTimeText(static_cast<long long>(std::time(nullptr)))
                       : args.rolloutStart) +
                  "/" + std::to_string(days);
}

// The ";next-key=" value: the "Signing Key" form of the announced key.
void NextKey(const Args& args, EVP_PKEY* signing, std::string& nextKey,
             std::vector<std::string>& problems) {
    if (args.nextKey.empty())
        return;
    std::string error;
    EvpKey key = LoadKey(args.nextKey, false, error);
    if (!key)
        problems.push_back("--next-key " + args.nextKey + ": " + error);
    else if (!signing)
        problems.push_back("--next-key needs --key: only a signed list can announce a key");
    else if ((nextKey = SigningKeyValue(key.get())) == SigningKeyValue(signing))
        problems.push_back("--next-key " + args.nextKey + " is the key that signs this list");
}

struct Header {
    unsigned long long serial = 1, days = 0;
    std::string listPath, rollout, nextKey;
};

std::string ListText(const Args& args, const Header& h, const std::string& lines) {
    std::string text =
        "; TavUpdate version list, written by tavpublish\r\n;serial=" + std::to_string(h.serial) +
        "\r\n;list=" + h.listPath + "\r\n";
    if (!args.noExpiry)
        text += ";expires=" +
                publish::UtcTimeText(static_cast<long long>(std::time(nullptr)) +
                                     static_cast<long long>(h.days) * 86400) +
                "\r\n";
    if (!h.rollout.empty())
        text += ";rollout=" + h.rollout + "\r\n";
    if (!h.nextKey.empty())
        text += ";next-key=" + h.nextKey + "\r\n";
    return text + lines;
}

// The stored modules, then the kept copy of the list: files that are only
// ever added, before the list that names them.
bool StoreRelease(const std::vector<Copy>& copies, const std::vector<MapFile>& maps,
                  const std::string& keptPath, const std::string& text, EVP_PKEY* key,
                  std::string& error) {
    for (const Copy& c : copies) {
        if (!store::StoreFile(c.from, c.to, c.sha256, error))
            return false;
    }
    for (const MapFile& m : maps) {
        if (!store::StoreBytes(m.text, m.path, m.sha256, error))
            return false;
    }
    std::string signature;
    return (!key || Sign(key, text, signature, error)) &&
           store::WriteNewFile(keptPath, text, error) &&
           (!key || store::WriteNewFile(keptPath + ".sig", signature, error));
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
    // With --store the modules are read from a release folder and the server
    // folder is the store's.
    const std::string& source = args.positional[1];
    const std::string& folder = args.store.empty() ? source : args.store;
    const std::string& listPath = args.positional[2];
    std::string error;
    EvpKey key;
    if (!args.key.empty() && !(key = LoadKey(args.key, true, error)))
        return Fail(error);

    std::vector<publish::ListedModule> modules;
    std::vector<std::string> problems;
    if (!ReadListing(listing, modules, problems, error))
        return Fail(error);
    std::vector<Copy> copies;
    std::vector<MapFile> maps;
    const std::string lines = ModuleLines(args, listing, source, modules, copies, maps, problems);
    Header header;
    if (!NextSerial(args, listPath, header.serial, problems, error))
        return Fail(error);
    if (!ListPathOf(args, folder, listPath, header.listPath))
        problems.push_back(listPath + " is not below " + folder +
                           ": give --list-path, the Remote Version File of the updaters");
    else if (!publish::ListPathInList(header.listPath, header.listPath))
        problems.push_back(header.listPath + ": not UTF-8, or a character code page 949 lacks");
    ExpiryDays(args, header.days, problems);
    Rollout(args, header.rollout, problems);
    NextKey(args, key.get(), header.nextKey, problems);
    if (!problems.empty()) {
        for (const std::string& p : problems)
            std::fprintf(stderr, "tavpublish: %s\n", p.c_str());
        return Fail("nothing written");
    }

    const std::string text = ListText(args, header, lines);
    const std::string keptPath = listPath + "." + std::to_string(header.serial);
    if (!args.store.empty() && !StoreRelease(copies, maps, keptPath, text, key.get(), error))
        return Fail(error);
    // In place, each map before the list that names it.
    for (const MapFile& m : maps) {
        if (args.store.empty() && !publish::ReplaceFile(m.path, m.text, error))
            return Fail(error);
    }
    if (!WriteList(listPath, text, key.get(), error))
        return Fail(error);
    if (!args.store.empty())
        std::printf("stored %zu modules in %s; the list kept as %s\n", copies.size(),
                    folder.c_str(), keptPath.c_str());
    std::printf("wrote %s: serial %llu, %zu modules%s%s\n", listPath.c_str(), header.serial,
                modules.size(), maps.empty() ? "" : " with block maps",
                key ? (", signed in " + listPath + ".sig").c_str() : ", not signed");
    return 0;
}
