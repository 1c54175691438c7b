#include "SwapJournal.h"

#include "Elevation.h"
#include "LocalFolder.h"
#include "LogFolder.h"
#include "PartialFile.h"
#include "SecurityAttributes.h"
#include "SwapJournalFolder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

using namespace swapjournal;

namespace {

// The one-pass lock's rule: system and administrators alone.
const char kJournalSecurity[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";

struct TestEnd {
    std::string step;
    long at = 0;
};

TestEnd ReadTestEnd() {
    char value[64];
    const DWORD n = ::GetEnvironmentVariableA("TAV_TEST_END_AT", value, sizeof(value));
    const char* colon = n > 0 && n < sizeof(value) ? std::strchr(value, ':') : nullptr;
    TestEnd end;
    if (colon) {
        end.step.assign(value, static_cast<size_t>(colon - value));
        end.at = std::strtol(colon + 1, nullptr, 10);
    }
    return end;
}

const TestEnd g_testEnd = ReadTestEnd();

std::string Utf8(const std::wstring& text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                        nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n,
                              nullptr, nullptr);
    return out;
}

Win32Result WriteAll(HANDLE file, const std::string& text) {
    DWORD written = 0;
    if (!::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        return Win32Result::Failed("WriteFile");
    if (written != text.size())
        return Win32Result::Failed("WriteFile", ERROR_DISK_FULL);
    return ::FlushFileBuffers(file) ? Win32Result() : Win32Result::Failed("FlushFileBuffers");
}

} // namespace

namespace swapjournal {

unsigned long NextNumber() {
    static LONG s_counter = 0;
    return static_cast<unsigned long>(::InterlockedIncrement(&s_counter));
}

Win32Result HoldJournalFolder(std::wstring& folder, std::vector<unique_hfile>& held) {
    const bool elevated = IsProcessElevated();
    std::string file;
    char path[MAX_PATH];
    if (elevated) {
        const UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return Win32Result::Failed("GetSystemDirectory");
        file.assign(path, n);
    } else {
        const DWORD n = ::ExpandEnvironmentStringsA("%LOCALAPPDATA%\\Tav", path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH || path[0] == '%')
            return Win32Result::Failed("ExpandEnvironmentStrings", ERROR_PATH_NOT_FOUND);
        file.assign(path);
    }
    file += "\\TavUpdate.journal";
    const FolderChain chain = HoldLogFolders(
        file, elevated ? LogFolders::NeverMade : LogFolders::ForTheUser, elevated, held);
    if (chain == FolderChain::Refused)
        return Win32Result::Failed("HoldLogFolders", ERROR_ACCESS_DENIED);
    if (chain != FolderChain::Ready)
        return Win32Result::Failed("HoldLogFolders", ERROR_PATH_NOT_FOUND);
    folder = FolderOf(ExtendedFullPath(file));
    return folder.empty() ? Win32Result::Failed("GetFullPathName", ERROR_BAD_PATHNAME)
                          : Win32Result();
}

} // namespace swapjournal

Win32Result CSwapJournal::Begin(const std::vector<SwapEntry>& entries) {
#ifdef TAV_BENCH_NO_JOURNAL
    // bench/crash times a pass without the journal against one with it.
    return Win32Result();
#endif
    std::wstring folder;
    std::vector<unique_hfile> held;
    const Win32Result ready = HoldJournalFolder(folder, held);
    if (!ready.Ok())
        return ready;
    std::string text = std::string(kHeader) + "\n";
    for (const SwapEntry& e : entries) {
        char id[48];
        std::snprintf(id, sizeof(id), "%lx %llx", static_cast<unsigned long>(e.volume), e.index);
        text += std::string(id) + "|" + Utf8(e.target) + "|" + Utf8(e.aside) + "|" +
                Utf8(e.partial) + "\n";
    }
    text += "end " + std::to_string(entries.size()) + "\n";
    CSecurityAttributes security(IsProcessElevated() ? kJournalSecurity : nullptr);
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L"TavUpdate.%lx.%lx.journal", ::GetCurrentProcessId(),
                      NextNumber());
        // Shared with nobody while the swap runs: a pass that finds it open
        // knows it is not an ended one's.
        m_file.reset(::CreateFileW((folder + name).c_str(), GENERIC_WRITE, 0, security.get(),
                                   CREATE_NEW, FILE_FLAG_WRITE_THROUGH, nullptr));
        if (m_file)
            m_strPath = folder + name;
        else if (::GetLastError() != ERROR_FILE_EXISTS)
            return Win32Result::Failed("CreateFile");
    }
    if (!m_file)
        return Win32Result::Failed("CreateFile", ERROR_FILE_EXISTS);
    const Win32Result written = WriteAll(m_file.get(), text);
    if (!written.Ok())
        Remove();
    return written;
}

Win32Result CSwapJournal::MarkDone() {
#ifdef TAV_BENCH_NO_JOURNAL
    return Win32Result();
#endif
    return WriteAll(m_file.get(), kDone);
}

void CSwapJournal::Remove() {
    if (m_strPath.empty())
        return;
    m_file.reset();
    ::DeleteFileW(m_strPath.c_str());
    m_strPath.clear();
}

Win32Result SwapInAll(const std::vector<CPartialFile*>& files, size_t& failedAt,
                      std::vector<std::pair<size_t, Win32Result>>& notBack) {
    failedAt = files.size();
    notBack.clear();
    std::vector<SwapEntry> entries;
    for (const CPartialFile* file : files)
        entries.push_back(file->JournalEntry());
    CSwapJournal journal;
    Win32Result result = journal.Begin(entries);
    if (!result.Ok())
        return result;
    EndAtTestStep("journal");
    size_t swapped = 0;
    while (swapped < files.size() && (result = files[swapped]->SwapIn()).Ok())
        ++swapped;
    if (result.Ok()) {
        result = journal.MarkDone();
        if (result.Ok()) {
            EndAtTestStep("done");
            for (CPartialFile* file : files)
                file->DropAside();
            journal.Remove();
            return result;
        }
    } else {
        failedAt = swapped;
    }
    // The files as they were; where one cannot be put back, the journal
    // stays and the next pass rolls the swap back.
    bool whole = swapped == files.size() || !files[swapped]->HasAside();
    for (size_t j = swapped; j-- > 0;) {
        const Win32Result back = files[j]->PutBack();
        if (!back.Ok()) {
            notBack.push_back({j, back});
            whole = false;
        }
    }
    if (whole)
        journal.Remove();
    return result;
}

void EndAtTestStep(const char* step) {
    if (g_testEnd.at <= 0 || g_testEnd.step != step)
        return;
    static LONG s_reached = 0;
    if (::InterlockedIncrement(&s_reached) == g_testEnd.at)
        ::TerminateProcess(::GetCurrentProcess(), kEndedAtTestStep);
}
