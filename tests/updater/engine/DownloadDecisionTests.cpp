// Whether a pass fetches a module, from what it found out about it.
#include "DownloadDecision.h"

#include <gtest/gtest.h>

namespace {

// Faults: equal times taken for newer, the comparison turned round, an
// unknown time keeping a possibly stale copy, the forced option losing to a
// current digest, times read where a digest is listed, a missing local file
// taken for current.
TEST(DownloadDecision, ForcedThenDigestThenTimesDecide) {
    const std::string digest(64, 'a'), other(64, 'b');
    const struct {
        const char* name;
        DownloadFacts facts;
        bool download;
    } cases[] = {
        {"equal times", {false, "", std::nullopt, 100, 100}, false},
        {"local older", {false, "", std::nullopt, 99, 100}, true},
        {"local newer", {false, "", std::nullopt, 101, 100}, false},
        {"no server time", {false, "", std::nullopt, 100, std::nullopt}, true},
        {"no local file", {false, "", std::nullopt, std::nullopt, 100}, true},
        {"forced and current", {true, digest, digest, 100, 100}, true},
        {"digest matches, times older", {false, digest, digest, 1, 100}, false},
        {"digest differs, times newer", {false, digest, other, 200, 100}, true},
        {"digest listed, no local file", {false, digest, std::nullopt, 200, 100}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.download, ShouldDownload(c.facts)) << c.name;
}

} // namespace
