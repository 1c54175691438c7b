// How long a pass waits before it tries a failed request again.
#include "RetryBudget.h"

#include <gtest/gtest.h>

namespace {

// Faults: desktops that failed together coming back together (no jitter),
// also when one Retry-After sent them away; waits that do not grow, a
// server's Retry-After cut short, a busy server that says when to come back
// given up after the blind tries' count; a request tried for ever, a pass
// waiting past its budget however many requests fail.
TEST(RetryBudget, WaitsGrowWithJitterHonourTheServerAndStayWithinTheBudget) {
    CRetryBudget budget;
    unsigned long wait = 0, low = 0, high = 0, early = 0, late = 0;
    ASSERT_TRUE(budget.NextWait(1, 0, 0.0, low));
    ASSERT_TRUE(budget.NextWait(1, 0, 0.99, high));
    EXPECT_LT(low, high);
    ASSERT_TRUE(budget.NextWait(3, 0, 0.0, wait));
    EXPECT_GT(wait, high);
    unsigned long total = low + high + wait;
    ASSERT_TRUE(budget.NextWait(2, 7000, 0.0, early));
    ASSERT_TRUE(budget.NextWait(2, 7000, 0.99, late));
    EXPECT_EQ(7000u, early);
    EXPECT_GT(late, early + 3000);
    EXPECT_FALSE(budget.NextWait(CRetryBudget::kMostRetries + 1, 0, 0.5, wait));
    ASSERT_TRUE(budget.NextWait(CRetryBudget::kMostRetries + 1, 1000, 0.0, wait));
    EXPECT_FALSE(budget.NextWait(CRetryBudget::kMostPacedRetries + 1, 1000, 0.0, wait));
    EXPECT_FALSE(budget.NextWait(1, CRetryBudget::kTotalMs, 0.5, wait));
    total += early + late + wait;
    for (int request = 0; request < 100; ++request)
        for (unsigned retry = 1; budget.NextWait(retry, 0, 0.9, wait); ++retry)
            total += wait;
    EXPECT_LE(total, CRetryBudget::kTotalMs);
    unsigned long ms = 0;
    EXPECT_TRUE(RetryAfterSeconds("120", ms) && ms == 120000);
    EXPECT_FALSE(RetryAfterSeconds("Wed, 21 Oct 2015 07:28:00 GMT", ms));
}

} // namespace
