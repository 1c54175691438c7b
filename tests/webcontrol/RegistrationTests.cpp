#include "ComponentCategories.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <objsafe.h>
#include <olectl.h>

#include <gtest/gtest.h>

using namespace wctest;

namespace {

const char kProgID[] = "TAVWEBOMBLET.TavWebOmbletCtrl.1";
const char kPageProgID[] = "TAVWEBOMBLET.TavWebOmbletPropPage.1";
#ifdef _WIN64
const char kTypeLibPlatform[] = "win64";
#else
const char kTypeLibPlatform[] = "win32";
#endif

std::string ControlKey() {
    return "CLSID\\" + GuidText(CLSID_TavWebOmblet);
}
std::string PageKey() {
    return "CLSID\\" + GuidText(PropPageClsid());
}
std::string TypeLibKey() {
    return "TypeLib\\" + GuidText(LIBID_TAVWEBOMBLETLib);
}
std::string CategoryKey(REFCATID catid) {
    return "Component Categories\\" + GuidText(catid);
}
std::string MarkKey(REFCATID catid) {
    return ControlKey() + "\\Implemented Categories\\" + GuidText(catid);
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return s;
}

int Regsvr32(bool unregister) {
    std::string line = "C:\\windows\\system32\\regsvr32.exe /s ";
    if (unregister)
        line += "/u ";
    return Run(line + "\"" + OcxPath() + "\"");
}

// Every test starts and ends with nothing of the control in the registry.
class RegistrationTest : public ::testing::Test {
protected:
    static void Clean() {
        Regsvr32(true);
        DeleteTree(HKEY_CLASSES_ROOT, ControlKey());
    }
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        Clean();
        ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ControlKey()));
    }
    void TearDown() override {
        Clean();
        ::CoUninitialize();
    }
};

TEST_F(RegistrationTest, RegisteredTypeLibraryPointsAtTheModule) {
    ASSERT_EQ(0, Regsvr32(false));
    EXPECT_EQ("TavWebOmblet ActiveX Control module",
              ReadString(HKEY_CLASSES_ROOT, TypeLibKey() + "\\1.0"));
    EXPECT_EQ(Lower(OcxPath()), Lower(ReadString(HKEY_CLASSES_ROOT, TypeLibKey() + "\\1.0\\409\\" +
                                                                        kTypeLibPlatform)));
}

TEST_F(RegistrationTest, ControlClassCarriesProgIDServerAndControlKeys) {
    ASSERT_EQ(0, Regsvr32(false));
    const std::string key = ControlKey();
    EXPECT_EQ("TavWebOmblet Control", ReadString(HKEY_CLASSES_ROOT, key));
    EXPECT_EQ(kProgID, ReadString(HKEY_CLASSES_ROOT, key + "\\ProgID"));
    EXPECT_EQ(Lower(OcxPath()), Lower(ReadString(HKEY_CLASSES_ROOT, key + "\\InprocServer32")));
    EXPECT_EQ("Apartment",
              ReadString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + "\\Control"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, key + "\\Insertable"));
    EXPECT_EQ("0", ReadString(HKEY_CLASSES_ROOT, key + "\\MiscStatus"));
    EXPECT_EQ("131473", ReadString(HKEY_CLASSES_ROOT, key + "\\MiscStatus\\1"));
    EXPECT_EQ(Lower(OcxPath() + ", 1"),
              Lower(ReadString(HKEY_CLASSES_ROOT, key + "\\ToolboxBitmap32")));
    EXPECT_EQ(GuidText(LIBID_TAVWEBOMBLETLib), ReadString(HKEY_CLASSES_ROOT, key + "\\TypeLib"));
    EXPECT_EQ("1.0", ReadString(HKEY_CLASSES_ROOT, key + "\\Version"));

    EXPECT_EQ("TavWebOmblet Control", ReadString(HKEY_CLASSES_ROOT, kProgID));
    EXPECT_EQ(GuidText(CLSID_TavWebOmblet),
              ReadString(HKEY_CLASSES_ROOT, std::string(kProgID) + "\\CLSID"));
    CLSID fromProgID = {};
    EXPECT_EQ(S_OK, ::CLSIDFromProgID(L"TAVWEBOMBLET.TavWebOmbletCtrl.1", &fromProgID));
    EXPECT_TRUE(IsEqualCLSID(CLSID_TavWebOmblet, fromProgID));
}

TEST_F(RegistrationTest, PropertyPageIsAnApartmentServerWithoutProgID) {
    ASSERT_EQ(0, Regsvr32(false));
    EXPECT_EQ("TavWebOmblet Property Page", ReadString(HKEY_CLASSES_ROOT, PageKey()));
    EXPECT_EQ(Lower(OcxPath()),
              Lower(ReadString(HKEY_CLASSES_ROOT, PageKey() + "\\InprocServer32")));
    EXPECT_EQ("Apartment",
              ReadString(HKEY_CLASSES_ROOT, PageKey() + "\\InprocServer32", "ThreadingModel"));
    // Removal names no ProgID for the page, so registration must not write one.
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, PageKey() + "\\ProgID"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kPageProgID));
}

TEST_F(RegistrationTest, ControlIsMarkedSafeInBothCategories) {
    ASSERT_EQ(0, Regsvr32(false));
    EXPECT_EQ("Controls that are safely scriptable",
              ReadString(HKEY_CLASSES_ROOT, CategoryKey(CATID_SafeForScripting), "409"));
    EXPECT_EQ("Controls safely initializable from persistent data",
              ReadString(HKEY_CLASSES_ROOT, CategoryKey(CATID_SafeForInitializing), "409"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, MarkKey(CATID_SafeForScripting)));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, MarkKey(CATID_SafeForInitializing)));
}

TEST_F(RegistrationTest, RemovalTakesClassesAndLibraryButLeavesCategoriesAndMarks) {
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_EQ(0, Regsvr32(true));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TypeLibKey() + "\\1.0"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgID));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, PageKey()));
    for (const char* sub : {"\\InprocServer32", "\\ProgID", "\\Control", "\\MiscStatus",
                            "\\ToolboxBitmap32", "\\TypeLib", "\\Version"})
        EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ControlKey() + sub)) << sub;
    EXPECT_EQ("<missing>", ReadString(HKEY_CLASSES_ROOT, ControlKey()));

    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CategoryKey(CATID_SafeForScripting)));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CategoryKey(CATID_SafeForInitializing)));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, MarkKey(CATID_SafeForScripting)));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, MarkKey(CATID_SafeForInitializing)));

    IUnknown* object = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              ::CoCreateInstance(CLSID_TavWebOmblet, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&object)));
}

TEST_F(RegistrationTest, RegisteringTwiceKeepsOneConsistentSetOfKeys) {
    ASSERT_EQ(0, Regsvr32(false));
    ASSERT_EQ(0, Regsvr32(false));
    EXPECT_EQ("131473", ReadString(HKEY_CLASSES_ROOT, ControlKey() + "\\MiscStatus\\1"));
    ASSERT_EQ(0, Regsvr32(true));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ControlKey() + "\\InprocServer32"));
}

TEST_F(RegistrationTest, RemovingAnUnregisteredModuleReportsTheTypeLibraryStep) {
    HMODULE module = ::LoadLibraryA(OcxPath().c_str());
    ASSERT_NE(nullptr, module);
    using ServerFn = HRESULT(STDAPICALLTYPE*)();
    auto unregister = reinterpret_cast<ServerFn>(
        reinterpret_cast<void*>(::GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(nullptr, unregister);
    EXPECT_EQ(SELFREG_E_TYPELIB, unregister());
}

// The categories manager keeps only 127 characters of a description.
TEST(CategoryDescriptionTest, LongDescriptionIsCutTo127Characters) {
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    const CATID testCategory = {
        0x5b1e0c57, 0x2f11, 0x4b0e, {0x9a, 0x61, 0x3d, 0x2c, 0x77, 0x10, 0x42, 0x8e}};
    std::string description(200, 'x');
    description.replace(120, 10, "0123456789");

    CATEGORYINFO info;
    FillCategoryInfo(info, testCategory, description.c_str());
    EXPECT_EQ(0x0409u, info.lcid);
    EXPECT_EQ(127u, wcslen(info.szDescription));

    ASSERT_EQ(S_OK, CreateComponentCategory(testCategory, description.c_str()));
    EXPECT_EQ(description.substr(0, 127),
              ReadString(HKEY_CLASSES_ROOT, CategoryKey(testCategory), "409"));
    DeleteTree(HKEY_CLASSES_ROOT, CategoryKey(testCategory));
    ::CoUninitialize();
}

TEST(CategoryDescriptionTest, KoreanDescriptionIsCountedInCharactersNotBytes) {
    // 100 two-byte characters in code page 949: 200 bytes, 100 characters.
    std::string description;
    for (int i = 0; i < 100; ++i)
        description += "가";
    CATEGORYINFO info;
    FillCategoryInfo(info, GUID_NULL, description.c_str());
    EXPECT_EQ(100u, wcslen(info.szDescription));
    EXPECT_EQ(L'\xAC00', info.szDescription[99]);
}

} // namespace
