// Finishing what the swaps of ended passes left (SwapJournal.h).
#include "SwapJournal.h"

#include "HeldFile.h"
#include "LocalFolder.h"
#include "SwapJournalFolder.h"
#include "Widen.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <set>

using namespace swapjournal;

namespace {

// Far above any release's journal; a planted file is not read whole.
const DWORD kMaxJournalBytes = 4 << 20;

bool FromUtf8(const std::string& text, std::wstring& out) {
    out.clear();
    if (text.empty())
        return true;
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(),
                                        static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return false;
    out.resize(static_cast<size_t>(n));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.c_str(),
                          static_cast<int>(text.size()), &out[0], n);
    return true;
}

// A target as traces show it: the ANSI path without the extended prefix.
std::string Shown(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return NarrowAnsi(L"\\\\" + path.substr(8));
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return NarrowAnsi(path.substr(4));
    return NarrowAnsi(path);
}

Win32Result Move(const std::wstring& from, const std::wstring& to) {
    return RetryWhileHeld([&] {
        return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)
                   ? Win32Result()
                   : Win32Result::Failed("MoveFileEx");
    });
}

// A plain file (no folder, no link) is there.
bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Deleted, or where a program still runs it, at restart (elevated) or by a
// later pass's sweep.
void Drop(const std::wstring& path) {
    if (!::DeleteFileW(path.c_str()))
        ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

bool IsFileNamed(const std::wstring& path, DWORD volume, unsigned long long index) {
    unique_hfile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    return file && ::GetFileInformationByHandle(file.get(), &info) &&
           info.dwVolumeSerialNumber == volume &&
           ((static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) ==
               index;
}

// A name of this process's own, for a file moved out of a target's way; a
// later pass sweeps it where it could not be deleted.
std::wstring OwnPartName(const std::wstring& folder) {
    wchar_t name[64];
    std::swprintf(name, 64, L"TavUpdate.%lx.r%lx.part", ::GetCurrentProcessId(), NextNumber());
    return folder + name;
}

// A full path in the extended form with nothing the platform would resolve
// further: no ".", "..", empty part, forward slash or stream name.
bool IsPlainFullPath(const std::wstring& path) {
    size_t start = 0;
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        start = 8;
    else if (path.size() > 7 && path.compare(0, 4, L"\\\\?\\") == 0 && path[5] == L':' &&
             path[6] == L'\\')
        start = 7;
    else
        return false;
    for (size_t part = start; part <= path.size();) {
        const size_t end = std::min(path.find(L'\\', part), path.size());
        const std::wstring name = path.substr(part, end - part);
        if (name.empty() || name == L"." || name == L".." ||
            name.find_first_of(L"/:*?\"<>|") != std::wstring::npos)
            return false;
        part = end + 1;
    }
    return true;
}

// The name is the prefix, a hexadecimal number and the suffix.
bool IsNumbered(const std::wstring& name, const std::wstring& prefix, const std::wstring& suffix) {
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix))
        return false;
    const std::wstring number =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return number.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

struct Journal {
    std::vector<SwapEntry> entries;
    bool done = false;
};

enum class Read { Whole, Torn, Refused };

// One line "<volume> <index>|<target>|<aside>|<partial>".
bool ParseEntry(const std::string& line, SwapEntry& entry) {
    const size_t a = line.find('|'), b = line.find('|', a + 1), c = line.find('|', b + 1);
    if (a == std::string::npos || b == std::string::npos || c == std::string::npos ||
        line.find('|', c + 1) != std::string::npos)
        return false;
    unsigned long volume = 0;
    unsigned long long index = 0;
    char rest = 0;
    if (std::sscanf(line.substr(0, a).c_str(), "%lx %llx%c", &volume, &index, &rest) != 2)
        return false;
    entry.volume = static_cast<DWORD>(volume);
    entry.index = index;
    return FromUtf8(line.substr(a + 1, b - a - 1), entry.target) &&
           FromUtf8(line.substr(b + 1, c - b - 1), entry.aside) &&
           FromUtf8(line.substr(c + 1), entry.partial);
}

// Only names a swap of that process gives, each target once, in folders the
// pass accepts.
bool IsSwapOf(const Journal& journal, unsigned long process, const FolderCheck& accepts) {
    wchar_t pid[16];
    std::swprintf(pid, 16, L"%lx.", process);
    std::set<std::wstring> targets;
    for (const SwapEntry& e : journal.entries) {
        if (!IsPlainFullPath(e.target) || !targets.insert(e.target).second)
            return false;
        const size_t slash = e.target.rfind(L'\\');
        const std::wstring folder = e.target.substr(0, slash + 1),
                           name = e.target.substr(slash + 1);
        if (e.aside.compare(0, folder.size(), folder) ||
            e.partial.compare(0, folder.size(), folder) ||
            !IsNumbered(e.aside.substr(folder.size()), name + L".TavUpdate." + pid, L".old") ||
            !IsNumbered(e.partial.substr(folder.size()), std::wstring(L"TavUpdate.") + pid,
                        L".part") ||
            !accepts(folder))
            return false;
    }
    return true;
}

Read ReadJournal(HANDLE file, Journal& journal) {
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart > kMaxJournalBytes)
        return Read::Refused;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() &&
        (!::ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
         read != text.size()))
        return Read::Refused;
    // Written and flushed before the first rename: one cut short renamed nothing.
    size_t position = 0;
    const auto line = [&](std::string& out) {
        const size_t end = text.find('\n', position);
        if (end == std::string::npos)
            return false;
        out = text.substr(position, end - position);
        position = end + 1;
        return true;
    };
    std::string current;
    if (!line(current) || current != kHeader)
        return Read::Torn;
    for (;;) {
        if (!line(current))
            return Read::Torn;
        if (current.compare(0, 4, "end ") == 0)
            break;
        SwapEntry entry;
        if (!ParseEntry(current, entry))
            return Read::Torn;
        journal.entries.push_back(entry);
    }
    if (current != "end " + std::to_string(journal.entries.size()))
        return Read::Torn;
    // A done mark cut short is no mark: the asides are all still there.
    journal.done = text.compare(position, std::string::npos, kDone) == 0;
    return Read::Whole;
}

// The installed file back over its target, whatever the target holds now.
Win32Result PutAsideBack(const SwapEntry& e) {
    std::wstring moved;
    if (Exists(e.target)) {
        moved = OwnPartName(FolderOf(e.target));
        const Win32Result out = Move(e.target, moved);
        if (!out.Ok())
            return out;
    }
    const Win32Result back = Move(e.aside, e.target);
    if (!back.Ok()) {
        if (!moved.empty())
            Move(moved, e.target);
        return back;
    }
    if (!moved.empty())
        Drop(moved);
    return Win32Result();
}

// What one ended pass's journal left, finished; true when nothing is left.
bool Finish(const Journal& journal, SwapRecovery& recovery) {
    bool whole = true;
    for (size_t k = journal.entries.size(); k-- > 0;) {
        const SwapEntry& e = journal.entries[k];
        if (IsFile(e.aside)) {
            if (journal.done && Exists(e.target)) {
                Drop(e.aside);
            } else {
                const Win32Result back = PutAsideBack(e);
                if (back.Ok())
                    recovery.putBack.push_back(Shown(e.target));
                else {
                    recovery.failed.push_back({Shown(e.target), back});
                    whole = false;
                }
            }
        } else if (!journal.done && !IsFile(e.partial) && e.index != 0 &&
                   IsFileNamed(e.target, e.volume, e.index)) {
            // A module new in the swap, which had no installed file.
            const std::wstring moved = OwnPartName(FolderOf(e.target));
            const Win32Result out = Move(e.target, moved);
            if (out.Ok()) {
                Drop(moved);
                recovery.removed.push_back(Shown(e.target));
            } else {
                recovery.failed.push_back({Shown(e.target), out});
                whole = false;
            }
        }
        if (IsFile(e.partial))
            Drop(e.partial);
    }
    return whole;
}

} // namespace

SwapRecovery RecoverEndedSwaps(const FolderCheck& accepts) {
    SwapRecovery recovery;
    std::wstring folder;
    std::vector<unique_hfile> held;
    if (!HoldJournalFolder(folder, held).Ok())
        return recovery;
    WIN32_FIND_DATAW found;
    unique_hfind find(::FindFirstFileW((folder + kPattern).c_str(), &found));
    for (bool more = static_cast<bool>(find); more; more = ::FindNextFileW(find.get(), &found)) {
        unsigned long process = 0, number = 0;
        wchar_t name[64];
        if (std::swscanf(found.cFileName, L"TavUpdate.%lx.%lx.journal", &process, &number) != 2 ||
            (std::swprintf(name, 64, L"TavUpdate.%lx.%lx.journal", process, number),
             std::wcscmp(name, found.cFileName) != 0))
            continue;
        const std::wstring path = folder + found.cFileName;
        // A running pass holds its journal open, shared with nobody.
        unique_hfile file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!file || !::GetFileInformationByHandle(file.get(), &info))
            continue;
        Journal journal;
        const Read read =
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || info.nNumberOfLinks != 1
                ? Read::Refused
                : ReadJournal(file.get(), journal);
        if (read == Read::Whole && !IsSwapOf(journal, process, accepts)) {
            recovery.refused.push_back(Shown(path));
            continue;
        }
        if (read == Read::Refused) {
            recovery.refused.push_back(Shown(path));
            continue;
        }
        if (read == Read::Whole && !Finish(journal, recovery))
            continue;
        file.reset();
        ::DeleteFileW(path.c_str());
    }
    return recovery;
}
