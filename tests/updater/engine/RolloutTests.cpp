// When a machine takes a staged release.
#include "Rollout.h"

#include <gtest/gtest.h>

namespace {

// Faults: a malformed rollout read as some interval (a release held for
// ever, or given to all at once); a machine's turn off its share of the
// interval; the time of its turn misprinted.
TEST(Rollout, TurnIsStartPlusTheBucketsShareOfTheDays) {
    rollout::Rollout r;
    for (const char* bad : {"", "2026-01-01T00:00:00Z", "2026-01-01T00:00:00Z/", "2026-01-01/3",
                            "2026-01-01T00:00:00Z/3651", "2026-01-01T00:00:00Z/-1",
                            "2026-01-01T00:00:00Z/2 ", "2026-02-30T00:00:00Z/2"})
        EXPECT_FALSE(rollout::Parse(bad, r)) << bad;
    ASSERT_TRUE(rollout::Parse("2026-01-01T00:00:00Z/10", r));
    EXPECT_EQ(1767225600, rollout::TurnOf(r, 0));
    EXPECT_EQ(1767225600 + 5 * 86400, rollout::TurnOf(r, 5000));
    EXPECT_EQ("2026-01-10T23:58:33Z", rollout::UtcText(rollout::TurnOf(r, 9999)));
    ASSERT_TRUE(rollout::Parse("2024-02-29T12:00:00Z/0", r));
    EXPECT_EQ("2024-02-29T12:00:00Z", rollout::UtcText(rollout::TurnOf(r, 9999)));
}

} // namespace
