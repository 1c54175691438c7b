// Whether a pass fetches a module, from what it found out about it.
#include "DownloadDecision.h"

#include <gtest/gtest.h>

namespace {

// Faults: equal times taken for newer, the comparison turned round, an
// unknown time keeping a possibly stale copy, the forced option losing to a
// current digest, times read where a digest is listed, a missing local file
// taken for current, a local file of the listed digest but another size kept.
TEST(DownloadDecision, ForcedThenDigestAndSizeThenTimesDecide) {
    const std::string digest(64, 'a'), other(64, 'b');
    const auto none = std::nullopt;
    const struct {
        const char* name;
        DownloadFacts facts;
        bool download;
    } cases[] = {
        {"equal times", {false, "", none, 100, 100, -1, none}, false},
        {"local older", {false, "", none, 99, 100, -1, none}, true},
        {"local newer", {false, "", none, 101, 100, -1, none}, false},
        {"no server time", {false, "", none, 100, none, -1, none}, true},
        {"no local file", {false, "", none, none, 100, -1, none}, true},
        {"forced and current", {true, digest, digest, 100, 100, -1, none}, true},
        {"digest matches, times older", {false, digest, digest, 1, 100, -1, none}, false},
        {"digest differs, times newer", {false, digest, other, 200, 100, -1, none}, true},
        {"digest listed, no local file", {false, digest, none, 200, 100, -1, none}, true},
        {"digest and size match", {false, digest, digest, none, none, 7, 7}, false},
        {"digest matches, size not", {false, digest, digest, none, none, 7, 8}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.download, ShouldDownload(c.facts)) << c.name;
}

} // namespace
