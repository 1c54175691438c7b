#include "ComponentCategories.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

using namespace wctest;

namespace {

const char kProgID[] = "TAVWEBOMBLET.TavWebOmbletCtrl.1";
#ifdef _WIN64
const char kTypeLibPlatform[] = "win64";
#else
const char kTypeLibPlatform[] = "win32";
#endif

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Every test starts and ends with nothing of the control in the registry.
class RegistrationTest : public ::testing::Test {
protected:
    static void Clean() {
        Regsvr32(true);
        DeleteTree(HKEY_CLASSES_ROOT, control);
    }
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        Clean();
        ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, control));
    }
    void TearDown() override {
        Clean();
        ::CoUninitialize();
    }
    static inline const std::string control = "CLSID\\" + GuidText(CLSID_TavWebOmblet);
    const std::string page = "CLSID\\" + GuidText(PropPageClsid());
    const std::string typeLib = "TypeLib\\" + GuidText(LIBID_TAVWEBOMBLETLib) + "\\1.0";
    const std::string catScript = "Component Categories\\" + GuidText(CATID_SafeForScripting);
    const std::string catInit = "Component Categories\\" + GuidText(CATID_SafeForInitializing);
    const std::string markScript =
        control + "\\Implemented Categories\\" + GuidText(CATID_SafeForScripting);
    const std::string markInit =
        control + "\\Implemented Categories\\" + GuidText(CATID_SafeForInitializing);
};

TEST_F(RegistrationTest, Regsvr32WritesLibraryClassesCategoriesAndMarks) {
    // Registering twice must leave the same single set of keys.
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_EQ(0, Regsvr32(false));
    const std::string ocx = Lower(OcxPath());
    const struct {
        std::string key;
        const char* value;
        std::string expected;
        bool isPath = false; // paths compare without case
    } values[] = {
        {typeLib, nullptr, "TavWebOmblet ActiveX Control module"},
        {typeLib + "\\409\\" + kTypeLibPlatform, nullptr, ocx, true},
        {control, nullptr, "TavWebOmblet Control"},
        {control + "\\ProgID", nullptr, kProgID},
        {control + "\\InprocServer32", nullptr, ocx, true},
        {control + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {control + "\\MiscStatus", nullptr, "0"},
        {control + "\\MiscStatus\\1", nullptr, "131473"},
        {control + "\\ToolboxBitmap32", nullptr, ocx + ", 1", true},
        {control + "\\TypeLib", nullptr, GuidText(LIBID_TAVWEBOMBLETLib)},
        {control + "\\Version", nullptr, "1.0"},
        {kProgID, nullptr, "TavWebOmblet Control"},
        {std::string(kProgID) + "\\CLSID", nullptr, GuidText(CLSID_TavWebOmblet)},
        {page, nullptr, "TavWebOmblet Property Page"},
        {page + "\\InprocServer32", nullptr, ocx, true},
        {page + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {catScript, "409", "Controls that are safely scriptable"},
        {catInit, "409", "Controls safely initializable from persistent data"},
    };
    for (const auto& v : values) {
        std::string got = ReadString(HKEY_CLASSES_ROOT, v.key, v.value);
        EXPECT_EQ(v.expected, v.isPath ? Lower(got) : got)
            << v.key << " " << (v.value ? v.value : "(default)");
    }
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, control + "\\Control"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, control + "\\Insertable"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, markScript));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, markInit));
    // Removal names no ProgID for the page, so registration must not write one.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, page + "\\ProgID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "TAVWEBOMBLET.TavWebOmbletPropPage.1"));
}

TEST_F(RegistrationTest, RemovalTakesClassesAndLibraryButLeavesCategoriesAndMarks) {
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_EQ(0, Regsvr32(true));
    for (const std::string& gone :
         {typeLib, std::string(kProgID), page, control + "\\InprocServer32", control + "\\ProgID",
          control + "\\Control", control + "\\MiscStatus", control + "\\ToolboxBitmap32",
          control + "\\TypeLib", control + "\\Version"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, gone)) << gone;
    EXPECT_EQ("<missing>", ReadString(HKEY_CLASSES_ROOT, control));
    for (const std::string& kept : {catScript, catInit, markScript, markInit})
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kept)) << kept;

    IUnknown* object = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              ::CoCreateInstance(CLSID_TavWebOmblet, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&object)));
}

TEST_F(RegistrationTest, RemovingAnUnregisteredModuleReportsTheTypeLibraryStep) {
    HMODULE module = ::LoadLibraryA(OcxPath().c_str());
    ASSERT_NE(nullptr, module);
    auto unregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(nullptr, unregister);
    EXPECT_EQ(SELFREG_E_TYPELIB, unregister());
}

// The description buffer holds 127 characters: counted in characters, so a
// Korean text of 200 bytes fits whole and a long one is cut, not overrun.
TEST(CategoryDescriptionTest, DescriptionIsCountedInCharactersAndCutAt127) {
    std::string korean;
    for (int i = 0; i < 100; ++i)
        korean += "가";
    CATEGORYINFO info;
    FillCategoryInfo(info, GUID_NULL, korean.c_str());
    EXPECT_EQ(0x0409u, info.lcid);
    EXPECT_EQ(100u, wcslen(info.szDescription));
    EXPECT_EQ(L'\xAC00', info.szDescription[99]);

    FillCategoryInfo(info, GUID_NULL, std::string(200, 'x').c_str());
    EXPECT_EQ(127u, wcslen(info.szDescription));
}

} // namespace
