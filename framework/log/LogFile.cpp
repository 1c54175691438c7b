#include "LogFile.h"

#include "Elevation.h"
#include "FormatText.h"

#include <windows.h>

#include <vector>

namespace {

const long long kCapBytes = 1 << 20;
// Texts are cut to fit: a file moved aside once it could not take another
// line of this size never passes the cap.
const size_t kMaxLine = 4096;
// After a move that failed (a reader holds "<name>.1"), the file grows by this
// much before the next try.
const long long kRollRetryBytes = 64 << 10;
// After a file that could not be opened, lines are dropped for this long.
const DWORD kOpenRetryMs = 1000;
// Appends land whole at the end on Windows, but not in every emulation of
// it, and the size check belongs with the write: the writers of one file take
// turns through a lock on one byte far past any end of it. A writer that
// holds its turn longer than this is taken to be stuck.
const OVERLAPPED kTurnByte = {0, 0, {{0, 0x40000000}}, nullptr};
const DWORD kTurnWaitMs = 500;

// The second byte of a code page 949 pair: never a control character, so a
// pair cannot carry a line break into the file.
bool IsTrailByte(unsigned char c) {
    return (c >= 0x41 && c <= 0x5A) || (c >= 0x61 && c <= 0x7A) || (c >= 0x81 && c <= 0xFE);
}

// Not a link, junction or other reparse point, and the only name of its file.
bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info = {};
    return ::GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           info.nNumberOfLinks == 1;
}

std::string LineFor(const char* source, int level, const std::string& text) {
    SYSTEMTIME t = {};
    ::GetLocalTime(&t);
    std::string line = FormatText("%04u-%02u-%02u %02u:%02u:%02u.%03u %lu %lu %.19s %d ", t.wYear,
                                  t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                                  ::GetCurrentProcessId(), ::GetCurrentThreadId(), source, level);
    const size_t room = kMaxLine - 5; // "...", CR, LF
    size_t end = text.find_last_not_of("\r\n");
    end = end == std::string::npos ? 0 : end + 1;
    for (size_t i = 0; i < end; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // A pair is never split in two; a lead byte without its trail byte
        // is a blank, and the byte after it stands alone.
        const bool lead = ::IsDBCSLeadByte(c);
        const bool pair =
            lead && i + 1 < end && IsTrailByte(static_cast<unsigned char>(text[i + 1]));
        if (line.size() + (pair ? 2 : 1) > room) {
            line += "...";
            break;
        }
        if (pair) {
            line += text[i];
            line += text[++i];
        } else {
            line += lead || c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
        }
    }
    return line + "\r\n";
}

} // namespace

CLogFile::CLogFile(std::string path, LogFolders making)
    : m_path(std::move(path)), m_making(making), m_bElevated(IsProcessElevated()) {}

bool CLogFile::Open() {
    if (m_bRefused)
        return false;
    std::vector<unique_hfile> folders; // held until the file is open
    const FolderChain chain = HoldLogFolders(m_path, m_making, m_bElevated, folders);
    if (chain == FolderChain::Ready) {
        // Appending only (reading for the lock); others may read, append,
        // and move the file aside. A name that is a link is not followed.
        m_file.reset(::CreateFileA(
            m_path.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, // the folder's security
            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        // Someone else's file under the log's name: nothing is written to it.
        if (m_file && !IsPlainFile(m_file.get())) {
            m_file.reset();
            m_bRefused = true;
        }
    }
    m_bRefused = m_bRefused || chain == FolderChain::Refused;
    m_bOpenFailed = !m_file;
    m_dwOpenFailedTick = ::GetTickCount();
    return !m_bOpenFailed;
}

bool CLogFile::Roll() {
    m_file.reset();
    // The folders are held again until the move is done: the lock and the
    // move act by name, and none of the folders on the way may be swapped
    // for a link in between.
    std::vector<unique_hfile> folders;
    if (HoldLogFolders(m_path, m_making, m_bElevated, folders) != FolderChain::Ready)
        return false;
    // One process moves the file at a time, and only the one it found full:
    // a second finds the lock taken, or after it the new file, and leaves it.
    // The lock goes with its handle, also when its process is ended; it is
    // always a file of its own making, so closing it deletes nothing else.
    const std::string lockPath = m_path + ".lock";
    unique_hfile lock(::CreateFileA(
        lockPath.c_str(), GENERIC_WRITE,
        0, // no sharing: this is the lock
        nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!lock && ::GetLastError() == ERROR_FILE_EXISTS) {
        // Left by a writer that never closed it (a power loss): held the same
        // way and left in place, when it is a plain file; in a folder only
        // administrators write, one of their own. Nothing is deleted through
        // a name this writer did not make.
        lock.reset(::CreateFileA(lockPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (lock && !IsPlainFile(lock.get()))
            return false;
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!lock || !::GetFileAttributesExA(m_path.c_str(), GetFileExInfoStandard, &data))
        return true;
    const long long size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // The move acts on the names alone: it replaces the entry "<name>.1",
    // never a file that entry may link to.
    return size + static_cast<long long>(kMaxLine) <= kCapBytes ||
           ::MoveFileExA(m_path.c_str(), (m_path + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool CLogFile::TakeTurn() {
    OVERLAPPED at = kTurnByte;
    const DWORD start = ::GetTickCount();
    for (int tries = 0;; ++tries) {
        if (::LockFileEx(m_file.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY,
                         0, // reserved
                         1, 0, &at))
            return m_bInTurn = true;
        // A file system without locks: the appends alone.
        if (::GetLastError() != ERROR_LOCK_VIOLATION)
            return true;
        if (::GetTickCount() - start > kTurnWaitMs)
            return false;
        ::Sleep(tries < 100 ? 0 : 1);
    }
}

void CLogFile::EndTurn() {
    OVERLAPPED at = kTurnByte;
    if (m_bInTurn)
        ::UnlockFileEx(m_file.get(), 0, 1, 0, &at);
    m_bInTurn = false;
}

void CLogFile::Write(const char* source, int level, const std::string& text) noexcept {
    if (m_bRefused ||
        (!m_file && m_bOpenFailed && ::GetTickCount() - m_dwOpenFailedTick < kOpenRetryMs))
        return;
    std::string line;
    try {
        line = LineFor(source, level, text);
    } catch (...) {
        return; // out of memory: the line is dropped
    }
    for (bool mayRoll = true;; mayRoll = false) {
        if (!m_file && !Open())
            return;
        if (!TakeTurn()) {
            // The writer in turn is stuck: pause as after a failed open.
            m_file.reset();
            m_bOpenFailed = true;
            m_dwOpenFailedTick = ::GetTickCount();
            return;
        }
        // A file another process moved aside is full too: this finds the new one.
        LARGE_INTEGER size = {};
        if (mayRoll && ::GetFileSizeEx(m_file.get(), &size) &&
            size.QuadPart + static_cast<long long>(kMaxLine) > kCapBytes &&
            size.QuadPart >= m_llNextRollTry) {
            EndTurn();
            if (!Roll())
                m_llNextRollTry = size.QuadPart + kRollRetryBytes;
            continue;
        }
        DWORD written = 0;
        ::WriteFile(m_file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        EndTurn();
        return;
    }
}
