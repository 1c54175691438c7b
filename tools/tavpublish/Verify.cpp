// tavpublish verify: a list checked as the updater checks it, against the
// files the server folder holds.
#include "Blocks.h"
#include "Commands.h"
#include "Encoding.h"
#include "Keys.h"
#include "Publish.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

namespace {

// False when the key cannot be used at all. The key stays in key.
bool CheckSignature(const Args& args, const std::string& listPath, const std::string& list,
                    EvpKey& key, std::vector<std::string>& problems, std::string& error) {
    if (args.key.empty()) {
        std::printf("signature: not checked (no --key)\n");
        return true;
    }
    key = LoadKey(args.key, false, error);
    if (!key)
        return false;
    std::string signature;
    if (!publish::ReadFile(listPath + ".sig", signature, error))
        problems.push_back(error);
    else if (!Verify(key.get(), list, signature))
        problems.push_back(listPath + ".sig: not a signature of " + listPath +
                           " by this key (list changed, or another key)");
    else
        std::printf("keys: signed by key %s\n", KeyFingerprint(key.get()).c_str());
    return true;
}

// The key the list announces for the lists after it, if any.
void CheckNextKey(const std::string& listPath, const std::string& list, EVP_PKEY* signing,
                  std::vector<std::string>& problems) {
    std::string value, der, error;
    if (!versionlist::FindComment(list, "next-key", value))
        return;
    EvpKey next;
    if (!encoding::DecodeBase64(value, der) || !(next = PublicKeyFromDer(der, error))) {
        problems.push_back(listPath + ": \";next-key=\" is not a \"Signing Key\" value " +
                           "updaters can use" + (error.empty() ? "" : " (" + error + ")"));
        return;
    }
    const std::string name = KeyFingerprint(next.get());
    if (signing && name == KeyFingerprint(signing))
        std::printf("keys: announces the key that signs it, %s: nothing changes\n", name.c_str());
    else
        std::printf("keys: announces next key %s: updaters that accept this list trust it for "
                    "this list path too, and the signing key no longer once they accept a list "
                    "signed by it\n  Signing Key=%s\n",
                    name.c_str(), value.c_str());
}

// Where a staged rollout stands: desktops with an earlier release take the
// list once now >= start + bucket x days, bucket in [0, 1) per desktop.
void CheckRollout(const std::string& listPath, const std::string& list,
                  std::vector<std::string>& problems) {
    std::string value;
    if (!versionlist::FindComment(list, "rollout", value)) {
        std::printf("rollout: none; every desktop takes this release at once\n");
        return;
    }
    const size_t slash = value.find('/');
    long long start = 0;
    unsigned long long days = 0;
    if (slash == std::string::npos || !versionlist::ParseUtcTime(value.substr(0, slash), start) ||
        value.find_first_not_of("0123456789", slash + 1) != std::string::npos ||
        !ParseSerial(value.substr(slash + 1), days) || days > 3650) {
        problems.push_back(listPath + ": \";rollout=" + value +
                           "\" is not YYYY-MM-DDTHH:MM:SSZ/<days from 0 to 3650>");
        return;
    }
    const long long now = static_cast<long long>(std::time(nullptr));
    const long long span = static_cast<long long>(days) * 86400;
    const std::string end = publish::UtcTimeText(start + span);
    if (now < start)
        std::printf("rollout: starts at %s, over %llu days (all by %s); until then only "
                    "desktops without a release take it\n",
                    value.substr(0, slash).c_str(), days, end.c_str());
    else if (now >= start + span)
        std::printf("rollout: complete since %s; every desktop takes this release\n", end.c_str());
    else
        std::printf("rollout: %.1f %% of desktops take this release now, all by %s (started "
                    "%s, over %llu days)\n",
                    100.0 * static_cast<double>(now - start) / static_cast<double>(span),
                    end.c_str(), value.substr(0, slash).c_str(), days);
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
    std::string listed, expected, inList;
    if (!versionlist::FindComment(list, "list", listed))
        problems.push_back(listPath + ": no \";list=\" line; signing updaters refuse it");
    else if (!ListPathOf(args, folder, listPath, expected))
        problems.push_back(listPath + " is not below " + folder + ": give --list-path");
    else if (!publish::ListPathInList(expected, inList) ||
             versionlist::TrimmedBlanks(listed) != versionlist::TrimmedBlanks(inList))
        problems.push_back(listPath + ": built for list path " + publish::Shown(listed) + ", not " +
                           expected + "; updaters asking for " + expected + " refuse it");
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

// The problem with the block map a module's line names, or nothing: the map
// must have its listed digest and be the map of the module's bytes.
std::string BlockMapProblem(const std::string& folder, const ModuleRecord& r,
                            const std::string& module) {
    if (r.blocks.empty() && r.blocksSha256.empty())
        return "";
    if (r.blocks.empty() || r.blocksSha256.empty())
        return publish::Shown(r.localFile) + ": blocks= and blocks-sha256= go together";
    std::string path, text, expected, error;
    if (!publish::ResolveRemote(folder, r.blocks, path, error) || !IsRegularFile(path))
        return error.empty() ? publish::Shown(r.blocks) + ": no block map " + path : error;
    if (!publish::ReadFile(path, text, error))
        return error;
    const std::string actual = Sha256Of(text);
    if (actual != r.blocksSha256)
        return publish::Shown(r.blocks) + ": SHA-256 is " + actual + ", the list says " +
               r.blocksSha256;
    if (!blocks::MapOfFile(module, expected, error))
        return error;
    if (text != expected)
        return publish::Shown(r.blocks) + ": not the block map of " + publish::Shown(r.remoteFile) +
               " (build again)";
    return "";
}

// The problem with one listed module, or nothing.
std::string ModuleProblem(const std::string& folder, const ModuleRecord& r) {
    if (r.sha256.empty() || r.size < 0)
        return publish::Shown(r.localFile) + ": no sha256 or size field; signing updaters skip it";
    std::string path, actual, error;
    if (!publish::ResolveRemote(folder, r.remoteFile, path, error) ||
        !Sha256File(path, actual, error))
        return error;
    struct stat st;
    const long long size = ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
    if (actual != r.sha256)
        return publish::Shown(r.remoteFile) + ": SHA-256 is " + actual + ", the list says " +
               r.sha256 + " (changed after the list was built)";
    if (size != r.size)
        return publish::Shown(r.remoteFile) + ": " + std::to_string(size) +
               " bytes, the list says " + std::to_string(r.size);
    return BlockMapProblem(folder, r, path);
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
    EvpKey key;
    if (!CheckSignature(args, listPath, list, key, problems, error))
        return Fail(error);
    CheckNextKey(listPath, list, key.get(), problems);
    CheckRollout(listPath, list, problems);
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
