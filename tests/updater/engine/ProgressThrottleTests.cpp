// Which blocks the download display shows when its controls live on another thread.
#include "ProgressThrottle.h"

#include <gtest/gtest.h>

namespace {

struct Block {
    bool first;
    int percent;
    unsigned long done;
    unsigned long nowMs;
    bool shown;
};

TEST(ProgressThrottle, ShowsOnlyBlocksThatChangeWhatAPersonSees) {
    const unsigned long total = 1000;
    const Block blocks[] = {
        {true, 0, 4, 5000, true},      // a file's first block carries its name
        {false, 0, 8, 5010, false},    // same percentage, soon after
        {false, 1, 12, 5020, true},    // a new percentage
        {false, 1, 16, 5119, false},   // 99 ms quiet
        {false, 1, 20, 5120, true},    // 100 ms quiet: the counter must not look stuck
        {false, 1, 1000, 5122, true},  // the last announced byte
        {false, 100, 1200, 5123, true} // more than announced
    };
    CProgressThrottle throttle;
    for (const Block& b : blocks) {
        SCOPED_TRACE(b.done);
        EXPECT_EQ(b.shown, throttle.ShouldShow(b.first, b.percent, b.done, total, b.nowMs));
    }
}

// Fault: a body of no announced size (total 0) shown on every block, its
// bytes always past the total.
TEST(ProgressThrottle, UnknownTotalIsShownAtThePaceOfTime) {
    CProgressThrottle throttle;
    ASSERT_TRUE(throttle.ShouldShow(true, 0, 4096, 0, 5000));
    EXPECT_FALSE(throttle.ShouldShow(false, 0, 8192, 0, 5010));
    EXPECT_TRUE(throttle.ShouldShow(false, 0, 12288, 0, 5100));
}

// The millisecond tick wraps after 49.7 days; a quiet spell across the wrap
// still counts.
TEST(ProgressThrottle, QuietSpellAcrossTheTickWrapIsMeasured) {
    CProgressThrottle throttle;
    ASSERT_TRUE(throttle.ShouldShow(true, 0, 1, 1000, 0xFFFFFFF0ul));
    EXPECT_FALSE(throttle.ShouldShow(false, 0, 2, 1000, 0x00000010ul)); // 32 ms
    EXPECT_TRUE(throttle.ShouldShow(false, 0, 3, 1000, 0x00000060ul));  // 112 ms
}

} // namespace
