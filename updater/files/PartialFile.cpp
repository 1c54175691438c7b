#include "PartialFile.h"

#include "HeldFile.h"
#include "KeptPartial.h"
#include "LocalFolder.h"
#include "SwapJournal.h"
#include "Widen.h"

#include <cwchar>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace {

// What a pass leaves beside a target is named so that a later pass knows it
// for its own: "TavUpdate.<process>.<number>.part" (a partial file, stale once
// its process has ended) and "<target name>.TavUpdate.<process>.<number>.old"
// (an installed file set aside).
const wchar_t kPartPattern[] = L"TavUpdate.*.part";
const wchar_t kAsidePattern[] = L"*.TavUpdate.*.old";
const wchar_t kAsideMark[] = L".TavUpdate.";

// A process this one may not look at is taken to run still.
bool HasEnded(unsigned long process) {
    if (process == ::GetCurrentProcessId())
        return false;
    unique_handle running(::OpenProcess(SYNCHRONIZE, FALSE, process));
    if (!running)
        return ::GetLastError() != ERROR_ACCESS_DENIED;
    return ::WaitForSingleObject(running.get(), 0) != WAIT_TIMEOUT;
}

// The aside copies of this process that a swap may still put back; the
// sweep leaves them.
class CLiveAsides {
public:
    void Add(const std::wstring& path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paths.insert(path);
    }
    void Remove(const std::wstring& path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_paths.erase(path);
    }
    bool Has(const std::wstring& path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_paths.count(path) != 0;
    }

private:
    std::mutex m_mutex;
    std::set<std::wstring> m_paths;
};

CLiveAsides& LiveAsides() {
    static CLiveAsides asides;
    return asides;
}

unsigned long NextNumber() {
    static LONG s_counter = 0;
    return static_cast<unsigned long>(::InterlockedIncrement(&s_counter));
}

std::wstring PartName() {
    wchar_t name[64];
    std::swprintf(name, 64, L"TavUpdate.%lx.%lx.part", ::GetCurrentProcessId(), NextNumber());
    return name;
}

Win32Result Move(const std::wstring& from, const std::wstring& to) {
    return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)
               ? Win32Result()
               : Win32Result::Failed("MoveFileEx");
}

std::vector<std::wstring> SweepFolder(const std::wstring& folder) {
    std::vector<std::wstring> putBack;
    WIN32_FIND_DATAW found;
    unique_hfind parts(::FindFirstFileW((folder + kPartPattern).c_str(), &found));
    for (bool more = static_cast<bool>(parts); more; more = ::FindNextFileW(parts.get(), &found)) {
        unsigned long process = 0;
        if (std::swscanf(found.cFileName, L"TavUpdate.%lx.", &process) == 1 && HasEnded(process))
            ::DeleteFileW((folder + found.cFileName).c_str());
    }
    unique_hfind asides(::FindFirstFileW((folder + kAsidePattern).c_str(), &found));
    for (bool more = static_cast<bool>(asides); more;
         more = ::FindNextFileW(asides.get(), &found)) {
        // Only a finished swap's: another pass's (should two run after all)
        // and one this process may still put back stay.
        const std::wstring name = found.cFileName;
        const size_t mark = name.rfind(kAsideMark);
        unsigned long process = 0;
        const std::wstring aside = folder + name;
        if (mark == 0 || mark == std::wstring::npos ||
            std::swscanf(name.c_str() + mark + wcslen(kAsideMark), L"%lx.", &process) != 1 ||
            (process == ::GetCurrentProcessId() ? LiveAsides().Has(aside) : !HasEnded(process)))
            continue;
        const std::wstring target = folder + name.substr(0, mark);
        // A program may still run it: then it stays for another pass.
        if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES)
            ::DeleteFileW(aside.c_str());
        else if (Move(aside, target).Ok())
            putBack.push_back(target);
    }
    return putBack;
}

} // namespace

CPartialFile::~CPartialFile() {
    if (m_bSwapped) {
        DropAside();
        return;
    }
    m_file.reset();
    m_held.reset();
    if (!m_strPath.empty())
        ::DeleteFileW(m_strPath.c_str());
}

Win32Result CPartialFile::Open(const std::string& target) {
    const Win32Result prepared = Prepare(target);
    return prepared.Ok() ? CreateNew() : prepared;
}

Win32Result CPartialFile::Prepare(const std::string& target) {
    const DWORD attributes = ::GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Replaced by a rename, which a loaded library or a running program
        // allows: a target that is read-only, a folder, or held by a program
        // that forbids it for longer than a moment is refused before anything
        // is received.
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
            return Win32Result::Failed("CFile::Open", ERROR_ACCESS_DENIED);
        const Win32Result free = RetryWhileHeld([&] {
            unique_hfile probe(::CreateFileA(
                target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            return probe ? Win32Result() : Win32Result::Failed("CFile::Open");
        });
        if (!free.Ok())
            return free;
    }
    m_strTarget = ExtendedFullPath(target);
    const size_t slash = m_strTarget.rfind(L'\\');
    if (m_strTarget.empty() || slash == std::wstring::npos)
        return Win32Result::Failed("CFile::Open", ERROR_BAD_PATHNAME);
    SweepFolder(FolderOf(m_strTarget));
    return Win32Result();
}

Win32Result CPartialFile::CreateNew() {
    const std::wstring folder = FolderOf(m_strTarget);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = folder + PartName();
        // Delete access: a partial file that is kept is renamed through it.
        m_file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                   FILE_SHARE_READ, // deny write
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

Win32Result CPartialFile::OpenKept(const std::string& target, const std::string& remotePath,
                                   KeptPart& kept) {
    kept = KeptPart();
    const Win32Result prepared = Prepare(target);
    if (!prepared.Ok())
        return prepared;
    m_strKeptKey = KeptPartialKey(target, remotePath);
    const std::wstring folder = FolderOf(m_strTarget);
    std::wstring name;
    std::string validator;
    if (!FindKeptPartial(folder, m_strKeptKey, name, validator))
        return CreateNew();
    if (!TakeOver(folder + name)) {
        RemoveKeptPartials(folder, m_strKeptKey);
        return CreateNew();
    }
    kept.validator = validator;
    kept.size = m_nTakenOver;
    return Win32Result();
}

bool CPartialFile::TakeOver(const std::wstring& path) {
    // Only a plain file with no other name: a link or a second name would
    // have the bytes written elsewhere too.
    unique_hfile file(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    LARGE_INTEGER end = {};
    if (!file || !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        info.nNumberOfLinks != 1 ||
        !::SetFilePointerEx(file.get(), LARGE_INTEGER(), &end, FILE_END))
        return false;
    // Under a name of this pass while it grows, as a new one: a pass that
    // ends in the middle leaves it to the sweep, never a kept file whose
    // last bytes may not be on the disk.
    const std::wstring folder = FolderOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring part = folder + PartName();
        if (RenameHeld(file.get(), part).Ok()) {
            m_file = std::move(file);
            m_strPath = part;
            m_nTakenOver = static_cast<unsigned long long>(end.QuadPart);
            return true;
        }
        if (::GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES)
            return false;
    }
    return false;
}

void CPartialFile::Swap(CPartialFile& other) {
    std::swap(m_file, other.m_file);
    std::swap(m_held, other.m_held);
    m_strTarget.swap(other.m_strTarget);
    m_strPath.swap(other.m_strPath);
    m_strAside.swap(other.m_strAside);
    std::swap(m_bSwapped, other.m_bSwapped);
    std::swap(m_entry, other.m_entry);
    m_strKeptKey.swap(other.m_strKeptKey);
    std::swap(m_nTakenOver, other.m_nTakenOver);
}

Win32Result CPartialFile::Write(const char* data, DWORD size) {
    DWORD written = 0;
    if (!::WriteFile(m_file.get(), data, size, &written, nullptr))
        return Win32Result::Failed("CFile::Write");
    if (written != size)
        return Win32Result::Failed("CFile::Write", ERROR_DISK_FULL);
    return Win32Result();
}

Win32Result CPartialFile::Flush() {
    return ::FlushFileBuffers(m_file.get()) ? Win32Result() : Win32Result::Failed("CFile::Write");
}

Win32Result CPartialFile::Close() {
    if (!m_file)
        return Win32Result();
    // On the disk before it becomes the module: a power loss after the swap
    // must not leave an empty one.
    const Win32Result flushed = Flush();
    // Closed here, not by the owner, so a failing close is seen.
    const Win32Result closed =
        ::CloseHandle(m_file.release()) ? Win32Result() : Win32Result::Failed("CFile::Write");
    if (!flushed.Ok())
        return flushed;
    if (!closed.Ok())
        return closed;
    // From here on what is read back through the hold is what goes in.
    const Win32Result held = HoldFile(m_strPath, DELETE, m_held);
    if (!held.Ok())
        return held;
    // The name the installed file will get aside, known before a journal
    // names it.
    const std::wstring name = m_strTarget.substr(m_strTarget.rfind(L'\\') + 1);
    wchar_t mark[64];
    std::swprintf(mark, 64, L".TavUpdate.%lx.%lx.old", ::GetCurrentProcessId(), NextNumber());
    m_entry = SwapEntry();
    m_entry.target = m_strTarget;
    m_entry.aside = FolderOf(m_strTarget) + name + mark;
    m_entry.partial = m_strPath;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (::GetFileInformationByHandle(m_held.get(), &info)) {
        m_entry.volume = info.dwVolumeSerialNumber;
        m_entry.index =
            (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    return Win32Result();
}

Win32Result CPartialFile::SwapIn() {
    if (!m_held)
        return Win32Result::Failed("SwapIn", ERROR_INVALID_HANDLE);
    const DWORD attributes = ::GetFileAttributesW(m_strTarget.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const std::wstring& aside = m_entry.aside;
        LiveAsides().Add(aside);
        const Win32Result moved = RetryWhileHeld([&] { return Move(m_strTarget, aside); });
        if (!moved.Ok()) {
            LiveAsides().Remove(aside);
            return moved;
        }
        m_strAside = aside;
        EndAtTestStep("aside");
    }
    const Win32Result renamed = RenameHeld(m_held.get(), m_strTarget);
    if (!renamed.Ok()) {
        // The installed file goes back; where it cannot, the next pass's
        // sweep puts it back (its name says where).
        if (!m_strAside.empty() && Move(m_strAside, m_strTarget).Ok()) {
            LiveAsides().Remove(m_strAside);
            m_strAside.clear();
        }
        return renamed;
    }
    m_bSwapped = true;
    EndAtTestStep("swap");
    // Not every platform's rename carries the attributes over.
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        ::GetFileAttributesW(m_strTarget.c_str()) != attributes)
        ::SetFileAttributesW(m_strTarget.c_str(), attributes);
    return Win32Result();
}

Win32Result CPartialFile::PutBack() {
    if (!m_bSwapped)
        return Win32Result();
    const Win32Result out = RenameHeld(m_held.get(), m_strPath);
    if (!out.Ok())
        return out;
    if (!m_strAside.empty()) {
        const Win32Result back = Move(m_strAside, m_strTarget);
        if (!back.Ok()) {
            // The new module stays rather than leave the target empty.
            RenameHeld(m_held.get(), m_strTarget);
            return back;
        }
        LiveAsides().Remove(m_strAside);
        m_strAside.clear();
    }
    m_bSwapped = false;
    return Win32Result();
}

void CPartialFile::DropAside() {
    if (m_strAside.empty())
        return;
    // A loaded library or a running program cannot be deleted; a later pass
    // (or the restart) takes it away.
    if (!::DeleteFileW(m_strAside.c_str()))
        ::MoveFileExW(m_strAside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    LiveAsides().Remove(m_strAside);
    m_strAside.clear();
}

Win32Result CPartialFile::Commit() {
    const Win32Result closed = Close();
    if (!closed.Ok())
        return closed;
    size_t failedAt = 0;
    std::vector<std::pair<size_t, Win32Result>> notBack;
    return SwapInAll({this}, failedAt, notBack);
}

std::vector<std::string> SweepLeftovers(const std::string& target) {
    const std::wstring full = ExtendedFullPath(target);
    std::vector<std::string> putBack;
    if (full.rfind(L'\\') != std::wstring::npos)
        for (const std::wstring& path : SweepFolder(FolderOf(full)))
            putBack.push_back(NarrowAnsi(path.compare(0, 8, L"\\\\?\\UNC\\") == 0
                                             ? L"\\\\" + path.substr(8)
                                             : path.substr(4)));
    return putBack;
}
