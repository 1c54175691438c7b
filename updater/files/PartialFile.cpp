#include "PartialFile.h"
#include "Widen.h"

#include <cwchar>
#include <vector>

namespace {

// Partial files are named so that a later pass knows them for its own:
// "TavUpdate.<process>.<number>.part" beside the target.
const wchar_t kPartPattern[] = L"TavUpdate.*.part";

// A scanner or indexer may hold a new file for a moment.
const int kSwapAttempts = 10;
const DWORD kSwapPauseMs = 100;

// The path as the platform resolves it (forward slashes, a drive's own
// current folder, the process's current folder), in the extended form, so a
// partial file name fits beside a target whose folder nearly fills MAX_PATH.
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

bool IsPassingLock(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// A partial file is stale when the pass that wrote it has ended: its name
// carries that process's id (another updater running into the same folder
// keeps its own).
bool IsStale(const wchar_t* name) {
    unsigned long process = 0;
    if (std::swscanf(name, L"TavUpdate.%lx.", &process) != 1)
        return false;
    if (process == ::GetCurrentProcessId())
        return true;
    unique_handle running(::OpenProcess(SYNCHRONIZE, FALSE, process));
    return !running || ::WaitForSingleObject(running.get(), 0) != WAIT_TIMEOUT;
}

// False while another program holds the file so that it cannot be renamed
// (with the error it gave); true otherwise, also when the swap itself is to
// find out what else is wrong.
bool IsFreeToSwap(const std::wstring& path, DWORD* error) {
    unique_hfile probe(::CreateFileW(path.c_str(), DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
    if (probe)
        return true;
    *error = ::GetLastError();
    return !IsPassingLock(*error);
}

} // namespace

CPartialFile::~CPartialFile() {
    Close();
    if (!m_strPath.empty())
        ::DeleteFileW(m_strPath.c_str());
}

Win32Result CPartialFile::Open(const std::string& target) {
    if (::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        unique_hfile probe(::CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe)
            return Win32Result::Failed("CFile::Open");
    }
    m_strTarget = ExtendedFullPath(target);
    const size_t slash = m_strTarget.rfind(L'\\');
    if (m_strTarget.empty() || slash == std::wstring::npos)
        return Win32Result::Failed("CFile::Open", ERROR_BAD_PATHNAME);
    const std::wstring folder = m_strTarget.substr(0, slash + 1);

    // Left by a pass that was ended half-way.
    WIN32_FIND_DATAW found;
    unique_hfind parts(::FindFirstFileW((folder + kPartPattern).c_str(), &found));
    for (bool more = static_cast<bool>(parts); more; more = ::FindNextFileW(parts.get(), &found)) {
        if (IsStale(found.cFileName))
            ::DeleteFileW((folder + found.cFileName).c_str());
    }

    static LONG s_counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L"TavUpdate.%lx.%lx.part", ::GetCurrentProcessId(),
                      static_cast<unsigned long>(::InterlockedIncrement(&s_counter)));
        const std::wstring path = folder + name;
        m_file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, // deny write
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (m_file) {
            m_strPath = path;
            return Win32Result();
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return Win32Result::Failed("CFile::Open", error);
    }
    return Win32Result::Failed("CFile::Open", ERROR_FILE_EXISTS);
}

Win32Result CPartialFile::Write(const char* data, DWORD size) {
    DWORD written = 0;
    if (!::WriteFile(m_file.get(), data, size, &written, nullptr))
        return Win32Result::Failed("CFile::Write");
    if (written != size)
        return Win32Result::Failed("CFile::Write", ERROR_DISK_FULL);
    return Win32Result();
}

Win32Result CPartialFile::Close() {
    if (!m_file)
        return Win32Result();
    // On the disk before it becomes the module: a power loss after the swap
    // must not leave an empty one.
    const Win32Result flushed =
        ::FlushFileBuffers(m_file.get()) ? Win32Result() : Win32Result::Failed("CFile::Write");
    // Closed here, not by the owner, so a failing close is seen.
    const Win32Result closed =
        ::CloseHandle(m_file.release()) ? Win32Result() : Win32Result::Failed("CFile::Write");
    return flushed.Ok() ? closed : flushed;
}

Win32Result CPartialFile::Commit() {
    const DWORD attributes = ::GetFileAttributesW(m_strTarget.c_str());
    BOOL swapped = FALSE;
    const char* call = "MoveFileEx";
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kSwapAttempts && !swapped; ++attempt) {
        if (attempt > 0)
            ::Sleep(kSwapPauseMs);
        // Asked afresh: a replace that could not rename the new file has
        // already taken the old one away, and the new one must still go in.
        const bool replacing = ::GetFileAttributesW(m_strTarget.c_str()) != INVALID_FILE_ATTRIBUTES;
        call = replacing ? "ReplaceFile" : "MoveFileEx";
        // Some platforms' replace leaves a file of its own behind when it
        // fails on a held file: wait for the hold to pass instead.
        if (!IsFreeToSwap(m_strPath, &error) || (replacing && !IsFreeToSwap(m_strTarget, &error)))
            continue;
        // Replacing keeps the installed file's attributes and security; a
        // plain move would give it the partial file's.
        swapped = replacing ? ::ReplaceFileW(m_strTarget.c_str(), m_strPath.c_str(),
                                             nullptr, // no backup
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                            : ::MoveFileExW(m_strPath.c_str(), m_strTarget.c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        error = swapped ? ERROR_SUCCESS : ::GetLastError();
        if (!swapped && !IsPassingLock(error))
            break;
    }
    if (!swapped) {
        // With the installed file gone the new one is the only copy: it stays
        // for a later pass rather than be deleted.
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            ::GetFileAttributesW(m_strTarget.c_str()) == INVALID_FILE_ATTRIBUTES)
            m_strPath.clear();
        return Win32Result::Failed(call, error);
    }
    m_strPath.clear();
    // Not every platform's replace carries the attributes over.
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        ::GetFileAttributesW(m_strTarget.c_str()) != attributes)
        ::SetFileAttributesW(m_strTarget.c_str(), attributes);
    return Win32Result();
}

Win32Result ReplaceFileContent(const std::string& target, const std::string& bytes) {
    CPartialFile file;
    Win32Result result = file.Open(target);
    if (result.Ok())
        result = file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
    if (result.Ok())
        result = file.Close();
    return result.Ok() ? file.Commit() : result;
}
