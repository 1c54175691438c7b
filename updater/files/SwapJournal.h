#pragma once
// The journal of a swap, so that a pass ended at any moment (killed, a power
// cut) leaves one whole set of modules. Before the first installed file is
// set aside, the pass writes down each target, the name its installed file
// gets aside and its partial file, and flushes that; the renames are written
// through. Once every new file is in place the journal is marked done
// (flushed) before the aside copies go, and removed at the end. The next pass
// finishes what an ended one left before anything else: a journal not marked
// done is rolled back, a done one has its aside copies dropped.
//
// Journals lie where only administrators make files when the pass runs
// elevated: the system folder, beside the one-pass lock. Even so a journal is
// taken for what it says only where its names are the ones a swap gives
// (PartialFile.h) in folders the pass accepts; otherwise nothing is moved.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CPartialFile;

// One module of a swap, full paths in the extended form.
struct SwapEntry {
    std::wstring target;
    std::wstring aside;   // the name the installed file gets, if there is one
    std::wstring partial; // the new file until it takes the target's place
    // The new file's volume and index, which renames keep: a target that is
    // this file is the one the swap put there.
    DWORD volume = 0;
    unsigned long long index = 0;
};

class CSwapJournal {
public:
    CSwapJournal() = default;
    CSwapJournal(const CSwapJournal&) = delete;
    CSwapJournal& operator=(const CSwapJournal&) = delete;
    // Closed: a journal not removed stays for the next pass.
    ~CSwapJournal() = default;

    // Writes the journal and flushes it. When it fails nothing may be renamed.
    Win32Result Begin(const std::vector<SwapEntry>& entries);
    // Every new file in place, on the disk before an aside copy goes.
    Win32Result MarkDone();
    // The swap finished, or undone whole: nothing left to recover.
    void Remove();

private:
    unique_hfile m_file;
    std::wstring m_strPath;
};

// The files swapped in, in order, under one journal: every one, or none.
// When one cannot take its place the ones before it are put back; failedAt
// is then its position (the count of files when the journal could not be
// written) and notBack those that could not be put back, with why (the
// journal then stays, for the next pass to roll back). On success the aside
// copies are dropped and the holds stay with the files.
Win32Result SwapInAll(const std::vector<CPartialFile*>& files, size_t& failedAt,
                      std::vector<std::pair<size_t, Win32Result>>& notBack);

// What finishing the ended passes' swaps did, targets as ANSI paths.
struct SwapRecovery {
    std::vector<std::string> putBack; // a former file back in place
    std::vector<std::string> removed; // a new module without a former file taken out
    // Targets not restored (a program holds a file): the journal stays and
    // the folder is mixed until a later pass succeeds.
    std::vector<std::pair<std::string, Win32Result>> failed;
    // Journals not acted on: names not of a swap, or outside the folders
    // accepted. They stay, and nothing of what they name is touched.
    std::vector<std::string> refused;
};

// Whether the pass works in a folder (full, extended form, ending in a
// backslash).
using FolderCheck = std::function<bool(const std::wstring& folder)>;

// Finishes every journal that no running pass holds open.
SwapRecovery RecoverEndedSwaps(const FolderCheck& accepts);

// Tests only: TAV_TEST_END_AT="<step>:<n>", read once at start, ends the
// process (as a kill would) at the n-th time this process reaches the step:
// "journal" (written), "aside" (an installed file set aside), "swap" (a new
// file in place), "done" (the journal marked done). Its exit code is this.
const UINT kEndedAtTestStep = 86;
void EndAtTestStep(const char* step);
