#include "HeldFile.h"

#include "Widen.h"

#include <vector>

namespace {

// The rename record as the platform headers declare it from Vista on
// (FILE_RENAME_INFO), and as the native call takes it before.
struct RenameInfo {
    DWORD replaceIfExists;
    HANDLE rootDirectory;
    DWORD fileNameLength;
    WCHAR fileName[1];
};
const int kFileRenameInfo = 3;         // FileRenameInfo
const int kFileRenameInformation = 10; // its native class
const LONG kStatusObjectNameCollision = static_cast<LONG>(0xC0000035);

struct IoStatus {
    union {
        LONG status;
        void* pointer;
    };
    ULONG_PTR information;
};
using SetInformationByHandle = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
using NtSetInformationFile = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);

template <typename Function> Function Export(const char* module, const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA(module), name)));
}

// The native call wants the NT form of the path: "\??\" where the extended
// form has "\\?\".
std::wstring NtPath(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return L"\\??\\" + path.substr(4);
    return path;
}

} // namespace

bool IsPassingHold(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

Win32Result HoldFile(const std::wstring& path, DWORD extraAccess, unique_hfile& held) {
    return RetryWhileHeld([&] {
        // A hold that renames the file writes its renames through.
        const DWORD through = (extraAccess & DELETE) ? FILE_FLAG_WRITE_THROUGH : 0;
        held.reset(::CreateFileW(path.c_str(), GENERIC_READ | extraAccess, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | through, nullptr));
        return held ? Win32Result() : Win32Result::Failed("CreateFile");
    });
}

Win32Result HoldFile(const std::string& path, DWORD extraAccess, unique_hfile& held) {
    return HoldFile(WidenAnsi(path.c_str()), extraAccess, held);
}

Win32Result RenameHeld(HANDLE held, const std::wstring& path) {
    static const auto setInformation =
        Export<SetInformationByHandle>("kernel32.dll", "SetFileInformationByHandle");
    // Before Vista the native call does the same.
    const std::wstring name = setInformation ? path : NtPath(path);
    const DWORD nameBytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::vector<char> buffer(sizeof(RenameInfo) + nameBytes, '\0');
    RenameInfo* info = reinterpret_cast<RenameInfo*>(buffer.data());
    info->fileNameLength = nameBytes;
    name.copy(info->fileName, name.size());
    if (setInformation) {
        if (!setInformation(held, kFileRenameInfo, info, static_cast<DWORD>(buffer.size())))
            return Win32Result::Failed("SetFileInformationByHandle");
        return Win32Result();
    }
    static const auto setNative = Export<NtSetInformationFile>("ntdll.dll", "NtSetInformationFile");
    IoStatus io = {};
    const LONG status = setNative ? setNative(held, &io, info, static_cast<ULONG>(buffer.size()),
                                              kFileRenameInformation)
                                  : -1;
    if (status >= 0)
        return Win32Result();
    return Win32Result::Failed("NtSetInformationFile", status == kStatusObjectNameCollision
                                                           ? ERROR_ALREADY_EXISTS
                                                           : ERROR_ACCESS_DENIED);
}
