#include "Fixtures.h"
#include "VersionInfoReader.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;
using Words = std::vector<WORD>;

std::string Fixture(const char* name) {
    return testenv::BinDir() + "\\" + name;
}

Words FileVersion(CVersionInfoReader& reader) {
    WORD v[4] = {9, 9, 9, 9};
    EXPECT_TRUE(reader.GetFileVersion(&v[0], &v[1], &v[2], &v[3]));
    return Words(v, v + 4);
}

void ExpectNothingRead(CVersionInfoReader& reader) {
    EXPECT_EQ(Words(4, 0), FileVersion(reader));
    EXPECT_EQ("", reader.m_strFileDescription);
    std::string comments = "unset";
    EXPECT_FALSE(reader.QueryString("Comments", comments));
    EXPECT_EQ("", comments);
    EXPECT_EQ(0u, reader.m_dwTranslation);
    EXPECT_EQ("", reader.m_strTranslationKey);
    EXPECT_EQ(nullptr, reader.m_pStringNames);
}

TEST(VersionInfoProgram, OwnResourceGivesTheTitlePartsAndEveryValueInOrder) {
    CVersionInfoReader reader(nullptr);
    char own[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, own, MAX_PATH);
    EXPECT_EQ(own, reader.m_strPath);
    EXPECT_EQ(own, CVersionInfoReader("").m_strPath);
    ASSERT_TRUE(reader.Load());

    EXPECT_EQ((Words{2, 1, 1, 11}), FileVersion(reader));
    EXPECT_EQ("041204B0", reader.m_strTranslationKey);
    std::string description, version;
    reader.GetFileDescription(description);
    EXPECT_EQ("TavUpdate", description);
    EXPECT_TRUE(reader.QueryString("FileVersion", version));
    EXPECT_EQ("2, 1, 1, 11", version);
    EXPECT_NE(0, reader.m_tFileTime);

    ASSERT_NE(nullptr, reader.m_pStringValues);
    EXPECT_EQ(
        (Strings{"TavUpdate", "", "TavUpdate", "2, 1, 1, 11", "TavUpdate", "Copyright (C) 2026", "",
                 "TavUpdate.EXE", "", "TavUpdate", "2, 1, 1, 11", ""}),
        *reader.m_pStringValues);
}

TEST(VersionInfoTranslation, TableFollowsTheUserLanguageThenNeutralThenTheFirstTable) {
    // Wine derives the user's language from LC_ALL, which the runner sets to
    // Korean.
    ASSERT_EQ(0x0412, ::GetUserDefaultLangID());
    struct Case {
        const char* dll;
        const char* key;
        const char* description;
        const char* comments; // nullptr: not in the chosen table
        Strings translations;
    } cases[] = {
        {"VerEnglishKorean.dll", "041204B0", "한국어 설명", "한국어", {"040904B0", "041204B0"}},
        {"VerNeutralEnglish.dll", "000004B0", "Neutral", nullptr, {"040904E4", "000004B0"}},
        // The only translation names a table the block does not hold.
        {"VerMissingTable.dll", "041204B0", "Korean table only", nullptr, {"040904B0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dll);
        CVersionInfoReader reader(Fixture(c.dll).c_str());
        ASSERT_TRUE(reader.Load());
        EXPECT_EQ(c.key, reader.m_strTranslationKey);
        EXPECT_EQ(c.description, reader.m_strFileDescription);
        std::string comments = "unset";
        EXPECT_EQ(c.comments != nullptr, !!reader.QueryString("Comments", comments));
        EXPECT_EQ(c.comments ? c.comments : "", comments);
        ASSERT_NE(nullptr, reader.m_pTranslations);
        EXPECT_EQ(c.translations, *reader.m_pTranslations);
    }
}

TEST(VersionInfoFailure, MissingFileOrResourceLoadsNothing) {
    std::string text = testenv::NewDir("plain") + "\\notes.txt";
    ASSERT_TRUE(testenv::WriteFile(text, "no resources in here\r\n"));
    struct Case {
        std::string path;
        bool exists;
    } cases[] = {{testenv::ScratchDir() + "\\absent.dll", false},
                 {Fixture("VerNone.dll"), true},
                 {text, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CVersionInfoReader reader(c.path.c_str());
        EXPECT_FALSE(reader.Load());
        EXPECT_EQ(c.exists, reader.m_tFileTime != 0);
        ExpectNothingRead(reader);
    }
    CVersionInfoReader unloaded(Fixture("VerEnglishKorean.dll").c_str());
    ExpectNothingRead(unloaded);
    EXPECT_FALSE(unloaded.QueryFixedInfo());
}

TEST(VersionInfoFailure, FileDatedAtTheEpochIsStillRead) {
    std::string copy = testenv::NewDir("epoch") + "\\VerMissingTable.dll";
    ASSERT_TRUE(::CopyFileA(Fixture("VerMissingTable.dll").c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(testenv::SetFileTime(copy, 0));
    CVersionInfoReader reader(copy.c_str());
    EXPECT_TRUE(reader.Load());
    EXPECT_EQ(0, reader.m_tFileTime);
    EXPECT_EQ("Korean table only", reader.m_strFileDescription);
}

} // namespace
