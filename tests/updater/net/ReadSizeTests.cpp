// How much each read of a transfer asks for, from how long the reads took.
#include "ReadSize.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Faults: a size past the buffer (an overrun), below the smallest read, kept
// large on a slow link (the bars stand still until a large buffer fills),
// growing on reads that are not quick, or on single quick ones between slow
// ones (a link sending in bursts), or taking many slow reads to come down
// after the link slowed at once.
TEST(ReadSize, GrowsOnQuickReadsAndShrinksOnSlowOnes) {
    const struct {
        std::vector<unsigned long> milliseconds;
        unsigned long size;
    } cases[] = {
        {{}, 4096},
        {{0, 0, 0, 0, 0}, 16384},
        {std::vector<unsigned long>(20, 1), 1 << 20},
        {{0, 40, 0, 40, 0, 100}, 4096},
        {{0, 0, 0, 0, 101}, 8192},
        {{0, 0, 0, 0, 0, 0, 0, 0, 250}, 16384},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10000}, 8192},
        {{500, 500}, 4096},
    };
    for (const auto& c : cases) {
        CReadSize size;
        for (unsigned long ms : c.milliseconds)
            size.Took(ms);
        EXPECT_EQ(c.size, size.Current()) << ::testing::PrintToString(c.milliseconds);
    }
}

} // namespace
