// Registration through regsvr32 in the prefix's registry (what it writes is
// compared with the installer's own in the packaging test): what removal
// leaves, and the categories' descriptions.
#include "ComponentCategories.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

using namespace wctest;

namespace {

// The safety categories and the control's marks in them are shared: they stay.
TEST(RegistrationTest, RemovalTakesClassesAndLibraryButLeavesCategoriesAndMarks) {
    const std::string control = "CLSID\\" + GuidText(CLSID_TavWebOmblet);
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_EQ(0, Regsvr32(true));
    for (const std::string& gone :
         {"TypeLib\\" + GuidText(LIBID_TAVWEBOMBLETLib), std::string(kProgID),
          std::string("TAVWEBOMBLET.TavWebOmbletPropPage.1"), "CLSID\\" + GuidText(kPropPageClsid),
          control + "\\InprocServer32", control + "\\ProgID", control + "\\Control",
          control + "\\MiscStatus", control + "\\TypeLib"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    for (const GUID& category : {CATID_SafeForScripting, CATID_SafeForInitializing}) {
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT,
                              control + "\\Implemented Categories\\" + GuidText(category)));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "Component Categories\\" + GuidText(category)));
    }
    DeleteTree(HKEY_CLASSES_ROOT, control);
}

// The description buffer holds 127 characters: counted in characters, so a
// Korean text of 200 bytes fits whole and a long one is cut, not overrun.
TEST(CategoryDescriptionTest, DescriptionIsCountedInCharactersAndCutAt127) {
    std::string korean;
    for (int i = 0; i < 100; ++i)
        korean += "가";
    CATEGORYINFO info;
    FillCategoryInfo(info, GUID_NULL, korean.c_str());
    EXPECT_EQ(100u, wcslen(info.szDescription));
    EXPECT_EQ(L'\xAC00', info.szDescription[99]);
    FillCategoryInfo(info, GUID_NULL, std::string(200, 'x').c_str());
    EXPECT_EQ(127u, wcslen(info.szDescription));
}

} // namespace
