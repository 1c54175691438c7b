#include "LocalModules.h"

#include "Elevation.h"
#include "FullPathName.h"
#include "FolderSecurityReader.h"
#include "PartialFile.h"
#include "TimeValue.h"
#include "UniqueHandle.h"

#include <map>
#include <set>
#include <utility>

std::optional<long long> LocalFileTime(const std::string& path) {
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA(path.c_str(), &data));
    time_t value = 0;
    if (!find || !TimeFromFileTime(data.ftLastWriteTime, &value))
        return std::nullopt;
    return value;
}

std::string FoldedPath(const std::string& path) {
    std::string folded = FullPathOrAsGiven(path);
    // In the ANSI code page, double-byte characters whole.
    if (!folded.empty())
        ::CharUpperBuffA(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

std::string ShownTime(const std::optional<long long>& value, const char* unknown) {
    const std::string text = value ? FormatLocalTime(static_cast<time_t>(*value)) : "";
    return text.empty() ? unknown : text;
}

std::string ModuleFolder(const std::string& localPath) {
    std::string path;
    if (!FullPathName(localPath, path).Ok())
        return "";
    const size_t last = path.rfind('\\');
    return last == std::string::npos ? "" : path.substr(0, last + 1);
}

namespace {

// Where a full path's walk begins: its root with the backslash after it,
// "C:\" or "\\server\share\"; 0 when it has none.
size_t RootLength(const std::string& full) {
    if (full.size() >= 3 && full[1] == ':' && full[2] == '\\')
        return 3;
    if (full.compare(0, 2, "\\\\") != 0)
        return 0;
    const size_t server = full.find('\\', 2);
    const size_t share = server == std::string::npos ? server : full.find('\\', server + 1);
    return share == std::string::npos ? 0 : share + 1;
}

struct FolderFacts {
    bool exists = false;
    bool trustedRealFolder = false; // a folder, not a link, the administrators own
    bool writableByOthers = true;
};

// The folders one pass walks, each read once and held open.
class FolderWalk {
public:
    FolderWalk(std::string self, std::vector<unique_hfile>& held)
        : m_self(std::move(self)), m_held(held) {}

    bool IsAdministratorsFolder(const std::string& folder) {
        const size_t root = RootLength(folder);
        if (root == 0)
            return false;
        const FolderFacts* nearest = nullptr;
        for (size_t end = root;;) {
            const FolderFacts& facts = Read(folder.substr(0, end));
            // What is missing is made later inside the nearest existing folder.
            if (!facts.exists)
                break;
            if (!facts.trustedRealFolder)
                return false;
            nearest = &facts;
            const size_t next = end < folder.size() ? folder.find('\\', end) : std::string::npos;
            if (next == std::string::npos)
                break;
            end = next + 1;
        }
        return nearest && !nearest->writableByOthers;
    }

private:
    const FolderFacts& Read(const std::string& folder) {
        const auto known = m_read.find(folder);
        if (known != m_read.end())
            return known->second;
        FolderFacts& facts = m_read[folder];
        // Listing access makes the sharing mode count: without delete sharing
        // nobody renames or deletes the folder while the handle is open.
        unique_hfile handle(
            ::CreateFileA(folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES | FILE_LIST_DIRECTORY,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!handle) {
            const DWORD error = ::GetLastError();
            facts.exists = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
            return facts;
        }
        facts.exists = true;
        BY_HANDLE_FILE_INFORMATION info = {};
        FolderSecurity security;
        facts.trustedRealFolder = ::GetFileInformationByHandle(handle.get(), &info) &&
                                  (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                  !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                                  ReadFolderSecurity(handle.get(), security).Ok() &&
                                  IsTrustedOwner(security.owner, m_self);
        facts.writableByOthers = !facts.trustedRealFolder || IsWritableByOthers(security, m_self);
        m_held.push_back(std::move(handle));
        return facts;
    }

    const std::string m_self;
    std::vector<unique_hfile>& m_held;
    std::map<std::string, FolderFacts> m_read;
};

} // namespace

std::set<std::string> FoldersNotAdministrators(const ModuleList& modules,
                                               std::vector<unique_hfile>& held) {
    std::set<std::string> refused;
    std::vector<unique_hfile> walked;
    if (IsProcessElevated()) {
        FolderWalk walk(TrustedOwnAccount(), walked);
        std::set<std::string> seen;
        for (const auto& r : modules) {
            const std::string folder = ModuleFolder(r->localFile);
            if (seen.insert(folder).second && !walk.IsAdministratorsFolder(folder))
                refused.insert(folder);
        }
    }
    held = std::move(walked);
    return refused;
}

void SweepModuleFolders(const ModuleList& modules, const std::set<std::string>& leftOut) {
    struct Folder {
        std::string target; // a module's file in it
        std::set<std::string> keys;
    };
    std::map<std::string, Folder> folders;
    for (const auto& r : modules) {
        const std::string folder = ModuleFolder(r->localFile);
        if (leftOut.count(folder))
            continue;
        Folder& f = folders[folder];
        if (f.target.empty())
            f.target = r->localFile;
        f.keys.insert(KeptPartialKey(r->localFile, r->remoteFile));
    }
    for (const auto& f : folders) {
        SweepLeftovers(f.second.target);
        SweepKeptPartials(f.second.target, f.second.keys);
    }
}
