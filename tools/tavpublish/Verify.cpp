// tavpublish verify: a list checked as the updater checks it, against the
// files the server folder holds.
#include "Commands.h"
#include "Keys.h"
#include "Publish.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

namespace {

// False when the key cannot be used at all.
bool CheckSignature(const Args& args, const std::string& listPath, const std::string& list,
                    std::vector<std::string>& problems, std::string& error) {
    if (args.key.empty()) {
        std::printf("signature: not checked (no --key)\n");
        return true;
    }
    EvpKey key = LoadKey(args.key, false, error);
    if (!key)
        return false;
    std::string signature;
    if (!publish::ReadFile(listPath + ".sig", signature, error))
        problems.push_back(error);
    else if (!Verify(key.get(), list, signature))
        problems.push_back(listPath + ".sig: not a signature of " + listPath +
                           " by this key (list changed, or another key)");
    return true;
}

void CheckSerial(const std::string& listPath, const std::string& list, unsigned long long& serial,
                 std::vector<std::string>& problems) {
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
}

void CheckListPath(const Args& args, const std::string& folder, const std::string& listPath,
                   const std::string& list, std::vector<std::string>& problems) {
    std::string listed, expected;
    if (!versionlist::FindComment(list, "list", listed))
        problems.push_back(listPath + ": no \";list=\" line; signing updaters refuse it");
    else if (!ListPathOf(args, folder, listPath, expected))
        problems.push_back(listPath + " is not below " + folder + ": give --list-path");
    else if (versionlist::TrimmedBlanks(listed) != versionlist::TrimmedBlanks(expected))
        problems.push_back(listPath + ": built for list path " + listed + ", not " + expected +
                           "; updaters asking for " + expected + " refuse it");
}

void CheckExpiry(const std::string& listPath, const std::string& list,
                 std::vector<std::string>& problems) {
    std::string expires;
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
}

// The problem with one listed module, or nothing.
std::string ModuleProblem(const std::string& folder, const ModuleRecord& r) {
    if (r.sha256.empty() || r.size < 0)
        return r.localFile + ": no sha256 or size field; signing updaters skip it";
    std::string path, actual, error;
    if (!publish::ResolveRemote(folder, r.remoteFile, path, error) ||
        !Sha256File(path, actual, error))
        return error;
    struct stat st;
    const long long size = ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
    if (actual != r.sha256)
        return r.remoteFile + ": SHA-256 is " + actual + ", the list says " + r.sha256 +
               " (changed after the list was built)";
    if (size != r.size)
        return r.remoteFile + ": " + std::to_string(size) + " bytes, the list says " +
               std::to_string(r.size);
    return "";
}

// False when the list cannot be read.
bool CheckModules(const std::string& listPath, const std::string& folder, size_t& count,
                  std::vector<std::string>& problems, std::string& error) {
    std::vector<publish::ListedModule> modules;
    std::vector<int> skipped;
    if (!publish::ReadModules(listPath, false, modules, skipped, error))
        return false;
    for (int line : skipped)
        std::printf("%s:%d: not a module line; updaters skip it\n", listPath.c_str(), line);
    if (modules.empty())
        problems.push_back(listPath + ": no module lines");
    CheckLocalFiles(listPath, modules, problems);
    for (const publish::ListedModule& m : modules) {
        const std::string problem = ModuleProblem(folder, m.record);
        if (!problem.empty())
            problems.push_back(listPath + ":" + std::to_string(m.line) + ": " + problem);
    }
    count = modules.size();
    return true;
}

} // namespace

int Verify(const Args& args) {
    if (args.positional.size() != 2)
        return Fail("verify wants LIST SERVER_DIR (see tavpublish verify --help)");
    const std::string& listPath = args.positional[0];
    const std::string& folder = args.positional[1];
    std::string error, list;
    if (!publish::ReadFile(listPath, list, error))
        return Fail(error);
    std::vector<std::string> problems;
    if (!CheckSignature(args, listPath, list, problems, error))
        return Fail(error);
    unsigned long long serial = 0;
    CheckSerial(listPath, list, serial, problems);
    CheckListPath(args, folder, listPath, list, problems);
    CheckExpiry(listPath, list, problems);
    size_t count = 0;
    if (!CheckModules(listPath, folder, count, problems, error))
        return Fail(error);

    for (const std::string& p : problems)
        std::printf("%s\n", p.c_str());
    if (!problems.empty()) {
        std::printf("%zu problem(s) in %s\n", problems.size(), listPath.c_str());
        return 1;
    }
    std::printf("OK: %s, serial %llu, %zu modules%s\n", listPath.c_str(), serial, count,
                args.key.empty() ? "" : ", signature good");
    return 0;
}
