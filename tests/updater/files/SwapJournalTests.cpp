// The journal of a swap: what a pass ended in the middle of its swap left is
// finished by the next one, and a journal that is not a swap's moves nothing.
// The ended pass's journal is written by the journal itself and closed
// without being removed, as a kill leaves it; its files are laid out here.
#include "Elevation.h"
#include "Fixtures.h"
#include "LocalFolder.h"
#include "SwapJournal.h"
#include "Widen.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Where journals lie: beside the one-pass lock, or the user's own folder.
std::string JournalFolder() {
    char folder[MAX_PATH];
    if (IsProcessElevated())
        ::GetSystemDirectoryA(folder, MAX_PATH);
    else
        ::ExpandEnvironmentStringsA("%LOCALAPPDATA%\\Tav", folder, MAX_PATH);
    return folder;
}

std::vector<std::string> Journals() {
    return testenv::ListFolder(JournalFolder(), "TavUpdate.*.journal");
}

class SwapJournalTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& name : Journals())
            ::DeleteFileA((JournalFolder() + "\\" + name).c_str());
    }
    // A module of the ended swap, named as this process's swap names it.
    SwapEntry Entry(const std::string& name, const std::string& folder = "") {
        const std::string in = folder.empty() ? local : folder;
        char mark[64];
        std::snprintf(mark, sizeof(mark), ".TavUpdate.%lx.%x.old", ::GetCurrentProcessId(),
                      ++number);
        char part[64];
        std::snprintf(part, sizeof(part), "\\TavUpdate.%lx.%x.part", ::GetCurrentProcessId(),
                      ++number);
        SwapEntry e;
        e.target = ExtendedFullPath(in + "\\" + name);
        e.aside = ExtendedFullPath(in + "\\" + name + mark);
        e.partial = ExtendedFullPath(in + part);
        return e;
    }
    static std::string Narrow(const std::wstring& path) { return NarrowAnsi(path.substr(4)); }
    static void Lay(const std::wstring& path, const std::string& content) {
        ASSERT_TRUE(testenv::WriteFile(Narrow(path), content));
    }
    // The new file's identity, as the swap records it.
    static void Identify(SwapEntry& e, const std::wstring& path) {
        unique_hfile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info = {};
        ASSERT_TRUE(::GetFileInformationByHandle(file.get(), &info));
        e.volume = info.dwVolumeSerialNumber;
        e.index = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    // The journal an ended pass left: written, never removed.
    static void Leave(const std::vector<SwapEntry>& entries, bool done) {
        CSwapJournal journal;
        ASSERT_TRUE(journal.Begin(entries).Ok());
        if (done) {
            ASSERT_TRUE(journal.MarkDone().Ok());
        }
    }
    SwapRecovery Recover() {
        return RecoverEndedSwaps([this](const std::wstring& folder) {
            return folder.compare(0, accepted.size(), accepted) == 0;
        });
    }
    std::vector<std::string> Files(const std::string& folder = "") const {
        std::vector<std::string> names = testenv::ListFolder(folder.empty() ? local : folder);
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string local = testenv::NewDir("swap");
    std::wstring accepted = ExtendedFullPath(local + "\\");
    unsigned number = 0xf00;
};

// A pass killed at every point of a swap at once: a module swapped, one
// between its two renames, one not begun, a new module swapped and one not.
// Faults: a mix of two releases kept, a module left missing, the new module
// of the swap or a partial file left, the journal left; a journal a running
// pass holds open touched.
TEST_F(SwapJournalTest, JournalNotDoneIsRolledBackWhereverTheSwapStood) {
    SwapEntry a = Entry("a.dll"), b = Entry("b.dll"), c = Entry("c.dll"), d = Entry("d.dll"),
              e = Entry("e.dll");
    Lay(a.target, "new a"), Lay(a.aside, "old a");
    Lay(b.aside, "old b"), Lay(b.partial, "new b");
    Lay(c.target, "old c"), Lay(c.partial, "new c");
    Lay(d.target, "new d"), Identify(d, d.target);
    Lay(e.partial, "new e");
    Leave({a, b, c, d, e}, false);

    const std::string other = testenv::NewDir("live");
    SwapEntry live = Entry("l.dll", other);
    Lay(live.target, "new l"), Lay(live.aside, "old l");
    CSwapJournal running;
    ASSERT_TRUE(running.Begin({live}).Ok());

    const SwapRecovery recovery = Recover();
    EXPECT_EQ((std::vector<std::string>{"a.dll", "b.dll", "c.dll"}), Files());
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(std::string("old ") + name, testenv::ReadFile(local + "\\" + name + ".dll"));
    EXPECT_EQ((std::vector<std::string>{Narrow(b.target), Narrow(a.target)}), recovery.putBack);
    EXPECT_EQ(std::vector<std::string>{Narrow(d.target)}, recovery.removed);
    EXPECT_TRUE(recovery.failed.empty() && recovery.refused.empty());
    EXPECT_EQ(2u, Files(other).size());
    EXPECT_EQ(1u, Journals().size());
    running.Remove();
    EXPECT_TRUE(Journals().empty());
}

// The swap was whole. Faults: the new release rolled back, or its aside
// copies left; a target gone since kept gone though its former file is there.
TEST_F(SwapJournalTest, DoneJournalDropsTheAsideCopies) {
    SwapEntry a = Entry("a.dll"), b = Entry("b.dll");
    Lay(a.target, "new a"), Lay(a.aside, "old a");
    Lay(b.aside, "old b");
    Leave({a, b}, true);
    const SwapRecovery recovery = Recover();
    EXPECT_EQ((std::vector<std::string>{"a.dll", "b.dll"}), Files());
    EXPECT_EQ("new a", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_EQ("old b", testenv::ReadFile(local + "\\b.dll"));
    EXPECT_EQ(std::vector<std::string>{Narrow(b.target)}, recovery.putBack);
    EXPECT_TRUE(Journals().empty());
}

// A journal whose names are not those of a swap in a folder the pass
// accepts, or one cut short. Fault: the elevated pass moves or deletes a file
// it names.
TEST_F(SwapJournalTest, JournalThatIsNoSwapsMovesNothing) {
    const std::string outside = testenv::NewDir("outside");
    SwapEntry elsewhere = Entry("a.dll", outside);
    SwapEntry stranger = Entry("b.dll");
    stranger.aside = ExtendedFullPath(local + "\\important.doc");
    // The same folder, reached through "..".
    SwapEntry climbing = Entry("c.dll");
    const std::wstring leaf = accepted.substr(accepted.rfind(L'\\', accepted.size() - 2) + 1);
    for (std::wstring* path : {&climbing.target, &climbing.aside, &climbing.partial})
        path->replace(0, accepted.size(), accepted + L"..\\" + leaf);
    SwapEntry moved = Entry("d.dll");
    moved.aside = ExtendedFullPath(outside + "\\d.dll.TavUpdate.1.1.old");
    SwapEntry notPartial = Entry("e.dll");
    notPartial.partial = ExtendedFullPath(local + "\\keep.txt");
    for (SwapEntry* e : {&elsewhere, &stranger, &climbing, &moved, &notPartial}) {
        Lay(e->aside, "aside");
        Lay(e->target, "target");
        Lay(e->partial, "partial");
        Leave({*e}, false);
    }
    // A swap's names, but the target is not the file the swap put there.
    SwapEntry another = Entry("f.dll");
    Lay(another.target, "target");
    Identify(another, notPartial.partial);
    Leave({another}, false);
    const std::vector<std::string> before = Files(), beforeOutside = Files(outside);
    const SwapRecovery recovery = Recover();
    EXPECT_EQ(before, Files());
    EXPECT_EQ(beforeOutside, Files(outside));
    EXPECT_EQ(5u, recovery.refused.size());
    EXPECT_TRUE(recovery.putBack.empty() && recovery.removed.empty());
    EXPECT_EQ(5u, Journals().size());
    TearDown();

    // Cut short before its end: written before any rename, so nothing to undo.
    SwapEntry torn = Entry("g.dll");
    Lay(torn.target, "new g"), Lay(torn.aside, "old g");
    Leave({torn}, false);
    const std::string journal = JournalFolder() + "\\" + Journals().front();
    const std::string text = testenv::ReadFile(journal);
    ASSERT_TRUE(testenv::WriteFile(journal, text.substr(0, text.size() - 3)));
    Recover();
    EXPECT_EQ("new g", testenv::ReadFile(Narrow(torn.target)));
    EXPECT_TRUE(testenv::FileExists(Narrow(torn.aside)));
    EXPECT_TRUE(Journals().empty());
}

// Fault: a rollback a program blocks given up (the journal removed, the
// folder left mixed) or reported as done.
TEST_F(SwapJournalTest, RollbackAProgramBlocksIsTriedAgainByTheNextPass) {
    SwapEntry a = Entry("a.dll");
    Lay(a.target, "new a"), Lay(a.aside, "old a");
    Leave({a}, false);
    unique_hfile holder(::CreateFileW(a.aside.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    SwapRecovery recovery = Recover();
    ASSERT_EQ(1u, recovery.failed.size());
    EXPECT_EQ(Narrow(a.target), recovery.failed[0].first);
    EXPECT_EQ(1u, Journals().size());
    holder.reset();
    recovery = Recover();
    EXPECT_EQ(std::vector<std::string>{Narrow(a.target)}, recovery.putBack);
    EXPECT_EQ(std::vector<std::string>{"a.dll"}, Files());
    EXPECT_EQ("old a", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_TRUE(Journals().empty());
}

} // namespace
