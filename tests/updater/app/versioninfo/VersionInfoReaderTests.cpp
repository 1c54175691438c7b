#include "Fixtures.h"
#include "VersionInfoReader.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

std::string Fixture(const char* name) {
    return testenv::BinDir() + "\\" + name;
}

std::string Query(CVersionInfoReader& reader, const char* name) {
    std::string value = "unset";
    EXPECT_TRUE(reader.QueryString(name, value)) << name;
    return value;
}

void ExpectNothingRead(CVersionInfoReader& reader) {
    WORD v[4] = {9, 9, 9, 9};
    EXPECT_TRUE(reader.GetFileVersion(&v[0], &v[1], &v[2], &v[3]));
    EXPECT_EQ(0, v[0] | v[1] | v[2] | v[3]);
    std::string description = "unset";
    EXPECT_TRUE(reader.GetFileDescription(description));
    EXPECT_EQ("", description);
    std::string comments = "unset";
    EXPECT_FALSE(reader.QueryString("Comments", comments));
    EXPECT_EQ("", comments);
    EXPECT_EQ(0u, reader.m_fixedInfo.dwSignature);
    EXPECT_EQ(0u, reader.m_dwTranslation);
    EXPECT_EQ("", reader.m_strTranslationKey);
    EXPECT_EQ("", reader.m_strCompanyName);
    EXPECT_EQ("", reader.m_strProductName);
    EXPECT_EQ(nullptr, reader.m_pStringNames);
}

// The choice of table below depends on the user's language; Wine derives it
// from LC_ALL, which the test runner sets to Korean.
TEST(VersionInfoEnvironment, WineReportsKoreanAsTheUserLanguage) {
    EXPECT_EQ(0x0412, ::GetUserDefaultLangID());
}

TEST(VersionInfoProgram, OwnResourceGivesTheTitleParts) {
    CVersionInfoReader reader(nullptr);
    char own[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, own, MAX_PATH);
    EXPECT_EQ(own, reader.m_strPath);
    ASSERT_TRUE(reader.Load());

    WORD v[4];
    reader.GetFileVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ((std::vector<WORD>{2, 1, 1, 11}), std::vector<WORD>(v, v + 4));
    EXPECT_EQ((std::vector<WORD>{2, 1, 1, 11}),
              std::vector<WORD>(reader.m_wProductVersion, reader.m_wProductVersion + 4));
    EXPECT_EQ(0xFEEF04BDu, reader.m_fixedInfo.dwSignature);
    EXPECT_EQ(0u, reader.m_dwFileFlags);
    EXPECT_EQ(4u, reader.m_dwFileOS);
    EXPECT_EQ(1u, reader.m_dwFileType);

    EXPECT_EQ("041204B0", reader.m_strTranslationKey);
    EXPECT_EQ(0x04B00412u, reader.m_dwTranslation);
    std::string description;
    reader.GetFileDescription(description);
    EXPECT_EQ("TavUpdate", description);
    EXPECT_EQ("TavUpdate", Query(reader, "Comments"));
    EXPECT_EQ("2, 1, 1, 11", Query(reader, "FileVersion"));
    EXPECT_EQ("", Query(reader, "CompanyName"));
    EXPECT_EQ("", reader.m_strCompanyName);
    EXPECT_EQ("Copyright (C) 2026", reader.m_strLegalCopyright);
    EXPECT_EQ("TavUpdate", reader.m_strProductName);
    EXPECT_NE(0, reader.m_tFileTime);
}

TEST(VersionInfoProgram, WalkCollectsEveryStringInResourceOrder) {
    CVersionInfoReader reader("");
    ASSERT_TRUE(reader.Load());
    const char* names[] = {"Comments",     "CompanyName",    "FileDescription", "FileVersion",
                           "InternalName", "LegalCopyright", "LegalTrademarks", "OriginalFilename",
                           "PrivateBuild", "ProductName",    "ProductVersion",  "SpecialBuild"};
    Strings expected;
    for (const char* name : names)
        expected.push_back(std::string("041204B0|") + name);
    ASSERT_NE(nullptr, reader.m_pStringNames);
    ASSERT_NE(nullptr, reader.m_pStringValues);
    EXPECT_EQ(expected, *reader.m_pStringNames);
    EXPECT_EQ(
        (Strings{"TavUpdate", "", "TavUpdate", "2, 1, 1, 11", "TavUpdate", "Copyright (C) 2026", "",
                 "TavUpdate.EXE", "", "TavUpdate", "2, 1, 1, 11", ""}),
        *reader.m_pStringValues);
    ASSERT_NE(nullptr, reader.m_pTranslations);
    EXPECT_EQ(Strings{"041204B0"}, *reader.m_pTranslations);

    std::string first;
    reader.WalkVersionBlock(first, TRUE, nullptr, nullptr, nullptr);
    EXPECT_EQ("041204B0", first);
}

TEST(VersionInfoTranslation, KoreanUserGetsTheKoreanTableOfTwo) {
    CVersionInfoReader reader(Fixture("VerEnglishKorean.dll").c_str());
    ASSERT_TRUE(reader.Load());
    EXPECT_EQ("041204B0", reader.m_strTranslationKey);
    EXPECT_EQ(0x04B00412u, reader.m_dwTranslation);
    EXPECT_EQ("한국어 설명", reader.m_strFileDescription);
    EXPECT_EQ("타브 회사", reader.m_strCompanyName);
    EXPECT_EQ("한국어", Query(reader, "Comments"));
    EXPECT_EQ((Strings{"040904B0", "041204B0"}), *reader.m_pTranslations);
    ASSERT_EQ(7u, reader.m_pStringValues->size());
    EXPECT_EQ("041204B0|Comments", reader.m_pStringNames->back());
    EXPECT_EQ("한국어", reader.m_pStringValues->back());
    WORD v[4];
    reader.GetFileVersion(&v[0], &v[1], &v[2], &v[3]);
    EXPECT_EQ((std::vector<WORD>{1, 2, 3, 4}), std::vector<WORD>(v, v + 4));
    EXPECT_EQ((std::vector<WORD>{5, 6, 7, 8}),
              std::vector<WORD>(reader.m_wProductVersion, reader.m_wProductVersion + 4));
    EXPECT_EQ(0x40004u, reader.m_dwFileOS);
    EXPECT_EQ(2u, reader.m_dwFileType);
}

TEST(VersionInfoTranslation, NeutralIsPreferredToEnglishWhenNoKoreanExists) {
    CVersionInfoReader reader(Fixture("VerNeutralEnglish.dll").c_str());
    ASSERT_TRUE(reader.Load());
    EXPECT_EQ("000004B0", reader.m_strTranslationKey);
    EXPECT_EQ("Neutral", reader.m_strFileDescription);
}

TEST(VersionInfoTranslation, TranslationNamingAMissingTableFallsBackOnTheFirstTable) {
    CVersionInfoReader reader(Fixture("VerMissingTable.dll").c_str());
    ASSERT_TRUE(reader.Load());
    EXPECT_EQ("041204B0", reader.m_strTranslationKey);
    EXPECT_EQ(0x04B00412u, reader.m_dwTranslation);
    EXPECT_EQ("Korean table only", reader.m_strFileDescription);
    EXPECT_EQ("Fallback", reader.m_strProductName);
    EXPECT_EQ("3, 0, 0, 1", Query(reader, "FileVersion"));
    EXPECT_EQ(Strings{"040904B0"}, *reader.m_pTranslations);
}

TEST(VersionInfoTranslation, UnknownStringNameIsAnEmptyFailure) {
    CVersionInfoReader reader(Fixture("VerMissingTable.dll").c_str());
    ASSERT_TRUE(reader.Load());
    std::string value = "unset";
    EXPECT_FALSE(reader.QueryString("Comments", value));
    EXPECT_EQ("", value);
}

TEST(VersionInfoFailure, MissingFileLoadsNothing) {
    CVersionInfoReader reader((testenv::ScratchDir() + "\\absent.dll").c_str());
    EXPECT_FALSE(reader.Load());
    EXPECT_EQ(0, reader.m_tFileTime);
    EXPECT_EQ(nullptr, reader.m_pVersionData);
    ExpectNothingRead(reader);
}

TEST(VersionInfoFailure, FilesWithoutVersionResourceLoadNothing) {
    std::string text = testenv::NewDir("plain") + "\\notes.txt";
    ASSERT_TRUE(testenv::WriteFile(text, "no resources in here\r\n"));
    for (const std::string& path : {Fixture("VerNone.dll"), text}) {
        CVersionInfoReader reader(path.c_str());
        EXPECT_FALSE(reader.Load()) << path;
        EXPECT_NE(0, reader.m_tFileTime) << path;
        ExpectNothingRead(reader);
    }
}

TEST(VersionInfoFailure, QueriesBeforeLoadFailEmpty) {
    CVersionInfoReader reader(Fixture("VerEnglishKorean.dll").c_str());
    ExpectNothingRead(reader);
    EXPECT_FALSE(reader.QueryFixedInfo());
    reader.ChooseTranslation();
    EXPECT_EQ("", reader.m_strTranslationKey);
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

TEST(VersionInfoConversion, WideToNarrowGivesCodePage949) {
    EXPECT_EQ("", WideToNarrow(nullptr));
    EXPECT_EQ("", WideToNarrow(L""));
    EXPECT_EQ("업데이트 2.1", WideToNarrow(L"\uC5C5\uB370\uC774\uD2B8 2.1"));
}

} // namespace
