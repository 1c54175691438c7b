#include "LocalModules.h"

#include "Elevation.h"
#include "FolderSecurityReader.h"
#include "LocalFolder.h"
#include "PartialFile.h"
#include "TimeValue.h"
#include "UniqueHandle.h"

#include <set>

std::optional<long long> LocalFileTime(const std::string& path) {
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA(path.c_str(), &data));
    time_t value = 0;
    if (!find || !TimeFromFileTime(data.ftLastWriteTime, &value))
        return std::nullopt;
    return value;
}

std::string FoldedPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    std::string folded = n > 0 && n < MAX_PATH ? std::string(full, n) : path;
    // In the ANSI code page, double-byte characters whole.
    if (!folded.empty())
        ::CharUpperBuffA(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

std::string ShownTime(const std::optional<long long>& value, const char* unknown) {
    const std::string text = value ? FormatLocalTime(static_cast<time_t>(*value)) : "";
    return text.empty() ? unknown : text;
}

namespace {

bool IsAdministratorsFolder(const std::string& folder, const std::string& self) {
    unique_hfile handle(::CreateFileA(
        folder.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle)
        return ::GetLastError() == ERROR_FILE_NOT_FOUND || ::GetLastError() == ERROR_PATH_NOT_FOUND;
    BY_HANDLE_FILE_INFORMATION info = {};
    FolderSecurity security;
    return ::GetFileInformationByHandle(handle.get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           ReadFolderSecurity(handle.get(), security) && IsTrustedOwner(security.owner, self) &&
           !IsWritableByOthers(security, self);
}

} // namespace

std::set<std::string> FoldersNotAdministrators(const ModuleList& modules) {
    std::set<std::string> refused;
    if (!IsProcessElevated())
        return refused;
    const std::string self = TrustedOwnAccount();
    std::set<std::string> seen;
    for (const auto& r : modules) {
        const std::string folder = LocalFolderOf(r->localFile);
        if (!folder.empty() && seen.insert(folder).second && !IsAdministratorsFolder(folder, self))
            refused.insert(folder);
    }
    return refused;
}

void SweepModuleFolders(const ModuleList& modules, const std::set<std::string>& leftOut) {
    std::set<std::string> swept;
    for (const auto& r : modules) {
        const std::string folder = LocalFolderOf(r->localFile);
        if (!leftOut.count(folder) && swept.insert(folder).second)
            SweepLeftovers(r->localFile);
    }
}
