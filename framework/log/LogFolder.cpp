#include "LogFolder.h"
#include "FolderSecurity.h"
#include "FolderSecurityReader.h"
#include "SecurityAttributes.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace {

// SYSTEM and Administrators alone, nothing inherited: an elevated program
// writes here, and no user may plant a link or a file of his own in its way.
const char kAdministratorsOnly[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

unique_hfile OpenFolder(const std::string& path, bool elevated) {
    // Listing access takes part in sharing: without FILE_SHARE_DELETE nobody
    // can rename or delete the folder while it is held. A writer with the
    // user's own rights only needs to know it is there.
    const DWORD access =
        elevated ? FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL : FILE_READ_ATTRIBUTES;
    return unique_hfile(::CreateFileA(
        path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

} // namespace

FolderChain HoldLogFolders(const std::string& file, LogFolders making, bool elevated,
                           std::vector<unique_hfile>& held) {
    held.clear();
    const size_t last = file.find_last_of('\\');
    // Past "X:\", or past "\\server\share\".
    const size_t root = file[1] == ':' ? 2 : file.find('\\', file.find('\\', 2) + 1);
    if (last == std::string::npos || root == std::string::npos || last < root)
        return FolderChain::Refused;
    const std::string self = elevated ? TrustedOwnAccount() : std::string();
    CSecurityAttributes administratorsOnly(
        making == LogFolders::ForAdministrators ? kAdministratorsOnly : nullptr);
    if (making == LogFolders::ForAdministrators && !administratorsOnly.get())
        return FolderChain::Failed;
    // The root only when the file lies in it: nobody can rename a root.
    for (size_t end = last == root ? root : file.find('\\', root + 1); end != std::string::npos;
         end = end == last ? std::string::npos : file.find('\\', end + 1)) {
        const std::string folder = file.substr(0, end == root ? end + 1 : end);
        unique_hfile handle = OpenFolder(folder, elevated);
        const DWORD error = handle ? ERROR_SUCCESS : ::GetLastError();
        if (!handle && making != LogFolders::NeverMade &&
            (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) &&
            (::CreateDirectoryA(folder.c_str(), administratorsOnly.get()) ||
             ::GetLastError() == ERROR_ALREADY_EXISTS))
            handle = OpenFolder(folder, elevated);
        if (!handle)
            return FolderChain::Failed;
        if (elevated) {
            BY_HANDLE_FILE_INFORMATION info = {};
            FolderSecurity security;
            if (!::GetFileInformationByHandle(handle.get(), &info) ||
                !ReadFolderSecurity(handle.get(), security).Ok())
                return FolderChain::Failed;
            if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                !IsTrustedOwner(security.owner, self) ||
                (end == last && IsWritableByOthers(security, self)))
                return FolderChain::Refused;
        }
        held.push_back(std::move(handle));
    }
    return FolderChain::Ready;
}
