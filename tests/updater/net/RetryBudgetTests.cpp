// How long a pass waits before it tries a failed request again.
#include "RetryBudget.h"

#include <gtest/gtest.h>

namespace {

// Faults: desktops that failed together coming back together (no jitter),
// waits that do not grow, a server's Retry-After cut short, a request tried
// for ever, a pass waiting past its budget however many requests fail.
TEST(RetryBudget, WaitsGrowWithJitterHonourTheServerAndStayWithinTheBudget) {
    CRetryBudget budget;
    unsigned long wait = 0, low = 0, high = 0;
    ASSERT_TRUE(budget.NextWait(1, 0, 0.0, low));
    ASSERT_TRUE(budget.NextWait(1, 0, 0.99, high));
    EXPECT_LT(low, high);
    ASSERT_TRUE(budget.NextWait(3, 0, 0.0, wait));
    EXPECT_GT(wait, high);
    ASSERT_TRUE(budget.NextWait(2, 7000, 0.5, wait));
    EXPECT_EQ(7000u, wait);
    EXPECT_FALSE(budget.NextWait(CRetryBudget::kMostRetries + 1, 0, 0.5, wait));
    EXPECT_FALSE(budget.NextWait(1, CRetryBudget::kTotalMs, 0.5, wait));
    unsigned long total = low + high + 2000 + 7000;
    for (int request = 0; request < 100; ++request)
        for (unsigned retry = 1; budget.NextWait(retry, 0, 0.9, wait); ++retry)
            total += wait;
    EXPECT_LE(total, CRetryBudget::kTotalMs);
    unsigned long ms = 0;
    EXPECT_TRUE(RetryAfterSeconds("120", ms) && ms == 120000);
    EXPECT_FALSE(RetryAfterSeconds("Wed, 21 Oct 2015 07:28:00 GMT", ms));
}

} // namespace
