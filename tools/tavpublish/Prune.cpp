// tavpublish prune: stored modules and block maps that no recent list names, and the kept
// lists older than those, go.
#include "Commands.h"
#include "Publish.h"
#include "Store.h"

#include <ftw.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

// What the walk found: stored modules and the folders that held them.
std::vector<std::string>* g_stored;
std::vector<std::string>* g_folders;

int Visit(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_F && store::IsStoredPath(path))
        g_stored->push_back(path);
    else if (type == FTW_DP)
        g_folders->push_back(path);
    return 0;
}

// Why the list is not one build writes (a serial, the list path, module lines
// with their SHA-256 and size, comments), or nothing. A kept list also holds
// the serial its name gives. Prune must not take a damaged list for one that
// names nothing.
std::string NotSignedList(const std::string& list, unsigned long long keptSerial,
                          const std::vector<publish::ListedModule>& modules,
                          const std::vector<int>& skipped, std::string& error) {
    std::string bytes, listPath;
    unsigned long long serial = 0;
    if (!publish::ReadFile(list, bytes, error))
        return error;
    if (versionlist::FindSerial(bytes, serial) != versionlist::SERIAL_FOUND)
        return "no \";serial=\" line";
    if (keptSerial != 0 && serial != keptSerial)
        return "holds serial " + std::to_string(serial) + ", its name " +
               std::to_string(keptSerial);
    if (!versionlist::FindComment(bytes, "list", listPath))
        return "no \";list=\" line";
    if (!skipped.empty())
        return "line " + std::to_string(skipped.front()) + " is not a module line";
    if (modules.empty())
        return "no module lines";
    for (const publish::ListedModule& m : modules) {
        if (m.record.sha256.empty() || m.record.size < 0)
            return "line " + std::to_string(m.line) + " has no sha256 or size field";
    }
    return "";
}

// The server files the list names; false, with the reason, when it cannot be
// read or is not a whole signed list.
bool AddNamedFiles(const std::string& list, unsigned long long keptSerial,
                   const std::string& folder, std::set<std::string>& named, std::string& error) {
    std::vector<publish::ListedModule> modules;
    std::vector<int> skipped;
    if (!publish::ReadModules(list, false, modules, skipped, error))
        return false;
    const std::string problem = NotSignedList(list, keptSerial, modules, skipped, error);
    if (!problem.empty()) {
        error = list + ": not a signed list as build writes it (" + problem + ")";
        return false;
    }
    for (const publish::ListedModule& m : modules) {
        std::string path, unused;
        if (publish::ResolveRemote(folder, m.record.remoteFile, path, unused))
            named.insert(path);
        if (!m.record.blocks.empty() &&
            publish::ResolveRemote(folder, m.record.blocks, path, unused))
            named.insert(path);
    }
    return true;
}

} // namespace

int Prune(const Args& args) {
    if (args.positional.size() != 2 || args.keep.empty())
        return Fail("prune wants --keep N LIST SERVER_DIR (see tavpublish prune --help)");
    const std::string& list = args.positional[0];
    std::string folder = args.positional[1];
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    unsigned long long keep = 0;
    if (!ParseSerial(args.keep, keep) || keep == 0 || keep > 1000000)
        return Fail("--keep " + args.keep + ": not a number of lists from 1 up");

    const std::vector<store::KeptList> kept = store::KeptLists(list);
    // A mistyped list path names nothing, and nothing would be kept.
    if (!IsRegularFile(list) && kept.empty())
        return Fail(list + ": no such list and no kept copy of it; nothing deleted");
    std::set<std::string> named;
    std::string error;
    if (IsRegularFile(list) && !AddNamedFiles(list, 0, folder, named, error))
        return Fail(error + "; nothing deleted");
    for (size_t i = 0; i < kept.size() && i < keep; ++i) {
        if (!AddNamedFiles(kept[i].path, kept[i].serial, folder, named, error))
            return Fail(error + "; nothing deleted");
    }

    std::vector<std::string> stored, folders;
    g_stored = &stored;
    g_folders = &folders;
    if (::nftw(folder.c_str(), Visit, 16, FTW_PHYS | FTW_DEPTH) != 0)
        return Fail(folder + ": cannot be walked; nothing deleted");
    size_t removed = 0;
    int failed = 0;
    for (const std::string& path : stored) {
        if (named.count(path))
            continue;
        if (::unlink(path.c_str()) == 0) {
            ++removed;
        } else {
            std::perror(path.c_str());
            failed = 1;
        }
    }
    // Digest folders left empty go too; others stay as they are.
    for (const std::string& path : folders) {
        if (store::IsStoredPath(path + "/x"))
            ::rmdir(path.c_str());
    }
    for (size_t i = keep; i < kept.size(); ++i) {
        if (::unlink(kept[i].path.c_str()) != 0) {
            std::perror(kept[i].path.c_str());
            failed = 1;
        }
        ::unlink((kept[i].path + ".sig").c_str());
    }
    const size_t lists = std::min<size_t>(keep, kept.size());
    std::printf("pruned %s: %zu stored modules removed, %zu kept (named by %s and the newest %zu "
                "kept lists); %zu older kept lists removed\n",
                folder.c_str(), removed, stored.size() - removed, list.c_str(), lists,
                kept.size() - lists);
    return failed;
}
