#include "PassLock.h"

#include "SecurityAttributes.h"

#include <aclapi.h>

#include <string>

namespace {

const char kName[] = "\\TavUpdate.lock";
// System and administrators only, nothing inherited: a user who could open
// the file for reading could lock it.
const char kLockSecurity[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";
const DWORD kPollMs = 100;

unique_hfile OpenLockFile() {
    char folder[MAX_PATH];
    const UINT n = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return unique_hfile();
    const std::string path = std::string(folder, n) + kName;
    CSecurityAttributes security(kLockSecurity);
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | WRITE_DAC,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, security.get(), OPEN_ALWAYS,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1)
        return unique_hfile();
    // A file an older updater made keeps the security it was given: set it.
    PSECURITY_DESCRIPTOR descriptor =
        security.get() ? security.get()->lpSecurityDescriptor : nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (descriptor && ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
        present)
        ::SetSecurityInfo(file.get(), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, dacl, nullptr);
    return file;
}

bool TryLock(HANDLE file) {
    OVERLAPPED at = {};
    return ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, // reserved
                        1, 0, &at) != FALSE;
}

} // namespace

bool CPassLock::Acquire(DWORD timeoutMs) {
    if (m_bHeld)
        return true;
    if (!m_file)
        m_file = OpenLockFile();
    if (!m_file)
        return true;
    const DWORD started = ::GetTickCount();
    while (!(m_bHeld = TryLock(m_file.get()))) {
        if (::GetTickCount() - started >= timeoutMs)
            return false;
        ::Sleep(kPollMs);
    }
    return true;
}

void CPassLock::Release() {
    if (m_bHeld) {
        OVERLAPPED at = {};
        ::UnlockFileEx(m_file.get(), 0, 1, 0, &at);
    }
    m_bHeld = false;
}
