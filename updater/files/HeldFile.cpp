#include "HeldFile.h"

#include "Widen.h"

#include <vector>

namespace {

const int kAttempts = 10;
const DWORD kPauseMs = 100;

// As the platform headers declare it from Vista on.
struct RenameInfo {
    DWORD replaceIfExists;
    HANDLE rootDirectory;
    DWORD fileNameLength;
    WCHAR fileName[1];
};
const int kFileRenameInfo = 3;

using SetInformationByHandle = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);

SetInformationByHandle SetInformationFunction() {
    static const SetInformationByHandle function =
        reinterpret_cast<SetInformationByHandle>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
    return function;
}

} // namespace

Win32Result HoldFile(const std::wstring& path, DWORD extraAccess, unique_hfile& held) {
    for (int attempt = 0;; ++attempt) {
        held.reset(::CreateFileW(path.c_str(), GENERIC_READ | extraAccess, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (held)
            return Win32Result();
        const DWORD error = ::GetLastError();
        if (error != ERROR_SHARING_VIOLATION || attempt + 1 == kAttempts)
            return Win32Result::Failed("CreateFile", error);
        ::Sleep(kPauseMs);
    }
}

Win32Result HoldFile(const std::string& path, DWORD extraAccess, unique_hfile& held) {
    return HoldFile(WidenAnsi(path.c_str()), extraAccess, held);
}

Win32Result RenameHeld(HANDLE held, const std::wstring& path) {
    const SetInformationByHandle setInformation = SetInformationFunction();
    if (!setInformation)
        return Win32Result::Failed("SetFileInformationByHandle", ERROR_CALL_NOT_IMPLEMENTED);
    const DWORD nameBytes = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    std::vector<char> buffer(sizeof(RenameInfo) + nameBytes, '\0');
    RenameInfo* info = reinterpret_cast<RenameInfo*>(buffer.data());
    info->fileNameLength = nameBytes;
    path.copy(info->fileName, path.size());
    if (!setInformation(held, kFileRenameInfo, info, static_cast<DWORD>(buffer.size())))
        return Win32Result::Failed("SetFileInformationByHandle");
    return Win32Result();
}
