#include "Fixtures.h"
#include "VersionInfoReader.h"

#include <gtest/gtest.h>

namespace {

const std::string kProgram = testenv::BinDir() + "\\TavUpdate.exe";

// Faults: a value lost, misplaced or cut in the walk of the updater's own
// block as the resource compiler laid it out, the fixed version misread.
TEST(VersionInfoReader, ShippedProgramGivesItsVersionAndEveryValueInOrder) {
    CVersionInfoReader reader(kProgram.c_str());
    ASSERT_TRUE(reader.Load());
    WORD v[4] = {};
    reader.GetFileVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ((std::vector<WORD>{2, 1, 1, 11}), std::vector<WORD>(v, v + 4));
    EXPECT_EQ("041204B0", reader.m_strTranslationKey);
    ASSERT_TRUE(reader.m_pStringNames && reader.m_pStringValues);
    EXPECT_EQ("041204B0|Comments", reader.m_pStringNames->front());
    EXPECT_EQ((std::vector<std::string>{"TavUpdate", "", "TavUpdate", "2, 1, 1, 11", "TavUpdate",
                                        "Copyright (C) 2026 Tav", "", "TavUpdate.EXE", "",
                                        "TavUpdate", "2, 1, 1, 11", ""}),
              *reader.m_pStringValues);
}

// Fault: a file dated exactly 1970 taken for a missing one.
TEST(VersionInfoReader, FileDatedAtTheEpochIsRead) {
    const std::string copy = testenv::NewDir("epoch") + "\\TavUpdate.exe";
    ASSERT_TRUE(::CopyFileA(kProgram.c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(testenv::SetFileTime(copy, 0));
    CVersionInfoReader reader(copy.c_str());
    EXPECT_TRUE(reader.Load());
    EXPECT_EQ("TavUpdate", reader.m_strFileDescription);
}

} // namespace
