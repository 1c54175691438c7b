#pragma once
// The file a download is written to before it takes the target's place, so
// the target is either the former file or the complete new one, never a
// half-written module. Once closed it is held: nobody else can write, rename
// or delete it until it has been used. The installed file is renamed aside in
// its own folder rather than overwritten, so a module a program has loaded or
// is running can be replaced; the aside copy stays until the swap is final.

#include "KeptPartial.h"
#include "SwapJournal.h"
#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>
#include <vector>

class CPartialFile {
public:
    CPartialFile() = default;
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;
    // Not swapped in: the partial file is removed. Swapped in: the swap stands
    // and the aside copy goes.
    ~CPartialFile();

    // Fails when the target cannot be written (locked, read-only, a folder)
    // or no file can be made in its folder. A target that does not exist is
    // not created here. What ended passes left in that folder goes first.
    Win32Result Open(const std::string& target);
    // As Open, but a partial file an earlier pass kept for this target and
    // remote file (KeptPartial.h) is taken over when there is one: written on
    // at its end, what it holds in kept. Otherwise a new one, kept.size 0.
    Win32Result OpenKept(const std::string& target, const std::string& remotePath, KeptPart& kept);
    // Everything exchanged with the other: a file opened elsewhere handed on.
    void Swap(CPartialFile& other);
    // The bytes taken over dropped: the server sends the file from its start.
    Win32Result StartOver();
    // Instead of being removed, the bytes so far are kept for a later pass:
    // flushed, then named for the target, the remote file (as opened by
    // OpenKept) and the copy the validator names. Fails without a validator
    // or a byte, and the file goes as usual.
    Win32Result Keep(const std::string& validator);
    // Closed and not swapped in (or put back): kept as Keep does, so a later
    // pass finds the whole file under the validator given.
    Win32Result KeepClosed(const std::string& validator);
    // Bytes taken over from a kept file that are still in this one.
    unsigned long long TakenOver() const { return m_nTakenOver; }
    Win32Result Write(const char* data, DWORD size);
    // What was written so far to the disk; another thread may call it while
    // this one writes, so the flush in Close finds less left to do.
    Win32Result Flush();
    // Flushes, closes and holds the file; a failure is seen here rather than
    // after the swap.
    Win32Result Close();
    // The held file, to read back what was written.
    HANDLE Held() const { return m_held.get(); }
    // What a journal of the swap names for this file, once it is closed.
    const SwapEntry& JournalEntry() const { return m_entry; }

    // The installed file aside, this one into its place (through the hold),
    // the installed file's attributes kept. The renames are written through.
    Win32Result SwapIn();
    // Undoes SwapIn: this one out again, the installed file back.
    Win32Result PutBack();
    // The installed file is aside (a swap not put back whole).
    bool HasAside() const { return !m_strAside.empty(); }
    // The swap is final: the aside copy is deleted, at restart where a program
    // still runs it (where the updater may ask for that), else by a later pass.
    void DropAside();
    // Close, then SwapInAll of this file alone: one module on its own.
    Win32Result Commit();
    // Gives up the hold; the file stays where it is.
    unique_hfile ReleaseHold() { return std::move(m_held); }

private:
    // The target checked and resolved, its folder swept.
    Win32Result Prepare(const std::string& target);
    Win32Result CreateNew();
    bool TakeOver(const std::wstring& keptPath);
    // The file (open or held) named as a kept one for the validator.
    Win32Result KeepAs(unique_hfile& file, const std::string& validator);

    unique_hfile m_file;
    unique_hfile m_held;
    std::wstring m_strTarget; // full path
    std::wstring m_strPath;   // full path of the partial file, while it exists
    std::wstring m_strAside;  // full path of the installed file set aside
    SwapEntry m_entry;        // set by Close
    bool m_bSwapped = false;
    std::string m_strKeptKey; // set by OpenKept
    unsigned long long m_nTakenOver = 0;
};

// Removes what ended passes left in the target's folder: partial files, and
// aside copies no program holds any more (an aside copy whose target is
// missing, left by a pass ended in the middle of a swap, is put back instead).
// The targets put back, as ANSI paths.
std::vector<std::string> SweepLeftovers(const std::string& target);

// The target's whole content replaced by the bytes, through a partial file.
Win32Result ReplaceFileContent(const std::string& target, const std::string& bytes);
// A file's whole content, when it has at most limit bytes.
Win32Result ReadWholeFile(const std::string& path, std::string& bytes, DWORD limit);
