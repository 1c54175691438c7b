// One pass at a time: the lock between two updaters on the machine.
#include "EngineTest.h"

namespace {

// A pass's BeginPass on a thread of its own, its result kept.
struct Beginning {
    explicit Beginning(CAULMgr& manager) : manager(manager) {
        thread.reset(::CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    }
    static DWORD WINAPI Run(LPVOID self) {
        auto* b = static_cast<Beginning*>(self);
        b->result = b->manager.BeginPass();
        return 0;
    }
    // Whether it ended within the seconds; a thread still waiting then ends
    // with the test program.
    bool Ended(DWORD seconds) { return ::WaitForSingleObject(thread.get(), seconds * 1000) == 0; }
    CAULMgr& manager;
    volatile int result = -1;
    unique_handle thread;
};

DWORD WINAPI HoldMutex(LPVOID done) {
    unique_handle mutex(::CreateMutexA(nullptr, TRUE, "Global\\TavUpdate.Pass"));
    ::WaitForSingleObject(done, INFINITE);
    return 0;
}

// A user can make any name in the global namespace. Faults: a mutex of the
// lock's old name, held by another program, keeps every pass waiting ten
// minutes; an event of that name switches the lock off, so two passes run
// at once.
TEST(PassLock, ObjectsOfTheOldNameNeitherBlockNorDisableIt) {
    for (bool mutex : {true, false}) {
        SCOPED_TRACE(mutex ? "mutex" : "event");
        unique_handle done(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), squatter;
        if (mutex)
            squatter.reset(::CreateThread(nullptr, 0, &HoldMutex, done.get(), 0, nullptr));
        else
            squatter.reset(::CreateEventA(nullptr, TRUE, FALSE, "Global\\TavUpdate.Pass"));
        ASSERT_TRUE(squatter);
        ::Sleep(200);
        TraceRecorder trace;
        CAULMgr first, second;
        Beginning one(first);
        ASSERT_TRUE(one.Ended(20));
        EXPECT_EQ(1, one.result);
        Beginning two(second);
        EXPECT_TRUE(WaitFor(
            [&] {
                return trace.Has(3, "BeginPass : another update pass runs; waiting for it to end");
            },
            20));
        first.EndPass();
        ASSERT_TRUE(two.Ended(20));
        EXPECT_EQ(1, two.result);
        second.EndPass();
        ::SetEvent(done.get());
        if (mutex)
            ::WaitForSingleObject(squatter.get(), 5000);
    }
}

} // namespace
