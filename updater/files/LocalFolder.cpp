#include "LocalFolder.h"

#include "Elevation.h"
#include "SecurityAttributes.h"
#include "Widen.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

const int kMaxCalls = 20;

// SYSTEM and Administrators full control, Users read and execute, for the
// folder and everything in it; nothing inherited from a parent that users
// may be able to write.
const char kProtectedFolder[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

} // namespace

std::wstring ExtendedFullPath(const std::string& path) {
    const std::wstring wide = WidenAnsi(path.c_str());
    DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return std::wstring();
    std::vector<wchar_t> full(n);
    n = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return std::wstring();
    std::wstring result(full.data(), n);
    if (result.compare(0, 4, L"\\\\?\\") == 0 || result.compare(0, 4, L"\\\\.\\") == 0)
        return result;
    if (result.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + result.substr(2);
    return L"\\\\?\\" + result;
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.rfind(L'\\') + 1);
}

Win32Result MakeFolderChain(const std::string& folder) {
    char buffer[MAX_PATH];
    if (folder.size() >= sizeof(buffer))
        return Win32Result::Failed("CreateDirectory", ERROR_FILENAME_EXCED_RANGE);
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    char* const end = buffer + folder.size();
    char* cursor = end;

    // Folders an elevated updater makes hold what it installs and starts with
    // administrator rights: they get their own security. Otherwise they
    // inherit their parent's, as any folder the user makes.
    CSecurityAttributes security(IsProcessElevated() ? kProtectedFolder : nullptr);
    for (int calls = 0;;) {
        const BOOL created = ::CreateDirectoryA(buffer, security.get());
        const DWORD error = created ? ERROR_SUCCESS : ::GetLastError();
        if (error == ERROR_PATH_NOT_FOUND) {
            while (cursor > buffer && *cursor != '\\')
                --cursor;
            if (*cursor != '\\')
                return Win32Result::Failed("CreateDirectory", error);
            *cursor = '\0';
        } else {
            // Some file systems refuse an existing folder (a drive's root) with
            // another code than "already exists".
            if (error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS) {
                const DWORD attributes = ::GetFileAttributesA(buffer);
                if (attributes == INVALID_FILE_ATTRIBUTES ||
                    !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                    return Win32Result::Failed("CreateDirectory", error);
            }
            if (cursor == end)
                return Win32Result();
            *cursor = '\\';
            cursor += std::strlen(cursor);
        }
        if (++calls >= kMaxCalls)
            return Win32Result::Failed("CreateDirectory", ERROR_PATH_NOT_FOUND);
    }
}

std::string LocalFolderOf(const std::string& localPath) {
    const size_t first = localPath.find('\\');
    if (first == std::string::npos || first == 0)
        return "";
    return localPath.substr(0, localPath.rfind('\\') + 1);
}
