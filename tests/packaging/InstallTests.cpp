// The machine package in the hands of the real Windows Installer, through one
// deployment's life: installed, used by a page, replaced by a package with
// other settings, removed. The tests run in this order; package_test.sh
// builds the two packages and names them in the environment:
//   TAV_PACKAGE_A      signed, with a signing key and two allowed sites
//   TAV_PACKAGE_B      unsigned, neither key nor sites, the same binaries
//   TAV_PACKAGE_PORT   the nginx both point at; TAV_PACKAGE_WEB its root
//   TAV_PACKAGE_KEY    the signing key in A; TAV_PACKAGE_LIST B's local list

#include "Fixtures.h"
#include "OmbletClient.h"
#include "StandIn.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace wctest;

namespace {

const char kUpgradeCode[] = "{D7F4CD3B-79B7-4D0F-94FB-0C3D00C70D22}";
const char kSiteLockKey[] = "SOFTWARE\\Tav\\TavWebOmblet";
const char kProgID[] = "TAVWEBOMBLET.TavWebOmbletCtrl.1";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The system folder as a 32-bit program names it, where the control looks.
std::string SystemDir() {
    return COmbletClient().m_szSystemDir;
}

int Msiexec(const std::string& action, const std::string& package) {
    return testenv::RunProcess("msiexec.exe " + action + " \"" + package + "\" /qn");
}

bool UpdaterRunning() {
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    bool found = false;
    for (BOOL more = ::Process32First(snapshot, &entry); more && !found;
         more = ::Process32Next(snapshot, &entry))
        found = ::lstrcmpiA(entry.szExeFile, "TavUpdate.exe") == 0;
    ::CloseHandle(snapshot);
    return found;
}

int InstalledProducts() {
    char product[39];
    int n = 0;
    while (::MsiEnumRelatedProductsA(kUpgradeCode, 0, n, product) == ERROR_SUCCESS)
        ++n;
    return n;
}

// Every key the control's registration may write, in the 32-bit view.
std::vector<std::string> RegistrationKeys() {
    return {"CLSID\\" + GuidText(CLSID_TavWebOmblet),
            "CLSID\\" + GuidText(PropPageClsid()),
            kProgID,
            "TAVWEBOMBLET.TavWebOmbletPropPage.1",
            "TypeLib\\" + GuidText(LIBID_TAVWEBOMBLETLib),
            "Interface\\" + GuidText(DIID__DTavWebOmblet),
            "Interface\\" + GuidText(DIID__DTavWebOmbletEvents),
            "Component Categories\\" + GuidText(CATID_SafeForScripting),
            "Component Categories\\" + GuidText(CATID_SafeForInitializing)};
}

// Key, value name, type and text of everything below path. A folder reads
// the same with or without its closing backslash: the installer's folder
// properties carry one, the module's own registration does not.
void DumpTree(HKEY root, const std::string& path, std::vector<std::string>* lines) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    lines->push_back(path);
    char name[256];
    BYTE data[2048];
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name), dataSize = sizeof(data) - 1, type = 0;
        if (::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) !=
            ERROR_SUCCESS)
            break;
        std::string text(reinterpret_cast<const char*>(data), dataSize);
        if (type == REG_SZ) {
            text = text.c_str();
            if (!text.empty() && text.back() == '\\')
                text.pop_back();
        }
        lines->push_back(path + " | " + name + " | " + std::to_string(type) + " | " + text);
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = sizeof(name);
        if (::RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    ::RegCloseKey(key);
    for (const std::string& child : children)
        DumpTree(root, path + "\\" + child, lines);
}

std::vector<std::string> DumpRegistration() {
    std::vector<std::string> lines;
    for (const std::string& key : RegistrationKeys())
        DumpTree(HKEY_CLASSES_ROOT, key, &lines);
    return lines;
}

void RemoveRegistration() {
    for (const std::string& key : RegistrationKeys())
        if (key.compare(0, 10, "Component ") != 0)
            DeleteTree(HKEY_CLASSES_ROOT, key);
}

std::string ReadMultiString(const char* valueName) {
    HKEY key = nullptr;
    char data[1024];
    DWORD size = sizeof(data), type = 0;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSiteLockKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    const LONG rc =
        ::RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return "<missing>";
    if (type != REG_MULTI_SZ)
        return "<type " + std::to_string(type) + ">";
    return std::string(data, size);
}

std::string SettingsB() {
    return "[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=HTTP\r\nRemote Port=" +
           Env("TAV_PACKAGE_PORT") +
           "\r\nLogin Name=\r\nLogin Password=\r\nRemote Version File=/version.txt\r\n"
           "[LOCAL]\r\nLocal Version File=" +
           Env("TAV_PACKAGE_LIST") + "\r\nDefault Exec File=\r\n";
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_FALSE(Env("TAV_PACKAGE_A").empty()) << "run through package_test.sh";
        // Nothing of an earlier, interrupted run.
        Msiexec("/x", Env("TAV_PACKAGE_A"));
        Msiexec("/x", Env("TAV_PACKAGE_B"));
    }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr))); }
    void TearDown() override { ::CoUninitialize(); }
};

// The installer writes the registration itself (so it can repair and remove
// it): it must be what the module's own DllRegisterServer writes, key for
// key and value for value, for the same file in the same place.
TEST_F(PackageTest, InstallRegistersTheControlAsItsOwnRegistrationDoes) {
    char wow64[MAX_PATH] = {};
    ASSERT_NE(0u, ::GetSystemWow64DirectoryA(wow64, MAX_PATH));
    const std::string installed = std::string(wow64) + "\\TavWebOmblet.ocx";
    std::vector<std::string> own;
    {
        SystemFile ocx{installed};
        ASSERT_TRUE(::CopyFileA(OcxPath().c_str(), ocx.path.c_str(), FALSE));
        ASSERT_EQ(0, testenv::RunProcess("regsvr32.exe /s \"" + installed + "\""));
        own = DumpRegistration();
        testenv::RunProcess("regsvr32.exe /s /u \"" + installed + "\"");
        RemoveRegistration();
    }
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_TavWebOmblet)));

    ASSERT_EQ(0, Msiexec("/i", Env("TAV_PACKAGE_A")));
    EXPECT_EQ(own, DumpRegistration());
    EXPECT_EQ(1, InstalledProducts());
}

TEST_F(PackageTest, InstalledSettingsAreThePackagedOnesByteForByte) {
    EXPECT_EQ("[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=HTTP\r\nRemote Port=" +
                  Env("TAV_PACKAGE_PORT") +
                  "\r\nLogin Name=관리자\r\nLogin Password=비밀 번호\r\n"
                  "Remote Version File=/version.txt\r\nSigning Key=" +
                  Env("TAV_PACKAGE_KEY") +
                  "\r\n[LOCAL]\r\nLocal Version File=C:\\Tav\\version.txt\r\n"
                  "Default Exec File=C:\\Program Files\\OmbletPlus\\ombletplus.exe\r\n",
              testenv::ReadFile(SystemDir() + "\\TavUpdateInfo.ini"));
    const char sites[] = "https://portal.example.com\0https://*.example.org:8443\0";
    EXPECT_EQ(std::string(sites, sizeof(sites)), ReadMultiString("AllowedSites"));
}

TEST_F(PackageTest, ScriptHostCreatesTheInstalledControlByProgID) {
    AppPathsEntry::Remove();
    EXPECT_EQ(RunPage("WScript.Echo(o.TavOBInstalled());\r\n"), std::vector<std::string>{"0"});
}

// The same binaries packaged again with other settings: a new product code,
// so the installer replaces the installed package instead of keeping its
// settings (or refusing) under the old one.
TEST_F(PackageTest, PackageWithOtherSettingsReplacesTheInstalledOne) {
    ASSERT_EQ(0, Msiexec("/i", Env("TAV_PACKAGE_B")));
    EXPECT_EQ(SettingsB(), testenv::ReadFile(SystemDir() + "\\TavUpdateInfo.ini"));
    EXPECT_EQ("<missing>", ReadMultiString("AllowedSites"));
    EXPECT_EQ(1, InstalledProducts());
}

TEST_F(PackageTest, PageInstallsTheClientThroughTheInstalledUpdater) {
    AppPathsEntry::Remove();
    const std::string web = Env("TAV_PACKAGE_WEB");
    const std::string client = testenv::NewDir("installed") + "\\ombletplus.exe";
    ASSERT_TRUE(::CopyFileA((testenv::BinDir() + "\\ombletplus.exe").c_str(),
                            (web + "\\ombletplus.exe").c_str(), FALSE));
    ASSERT_TRUE(testenv::WriteFile(web + "\\version.txt", client + " | /ombletplus.exe | E\r\n"));
    StandIn standIn;
    standIn.Use(client.substr(0, client.rfind('\\')), false);

    EXPECT_EQ(RunPage("o.TavOmbletInstall();\r\nWScript.Echo(\"done\");\r\n"),
              std::vector<std::string>{"done"});
    EXPECT_TRUE(standIn.WaitForLine("start ")) << standIn.Log();
    // Its window too, so that the stand-in's end finds it and closes it.
    EXPECT_TRUE(standIn.WaitForWindow());
    EXPECT_EQ(testenv::ReadFile(web + "\\ombletplus.exe"), testenv::ReadFile(client));
    // The updater closes by itself after the pass; removal must not find it running.
    for (int i = 0; i < 200 && UpdaterRunning(); ++i)
        ::Sleep(100);
    EXPECT_FALSE(UpdaterRunning());
}

TEST_F(PackageTest, RemovalTakesFilesAndClassesAndLeavesTheSafetyCategories) {
    ASSERT_EQ(0, Msiexec("/x", Env("TAV_PACKAGE_B")));
    for (const char* file : {"TavUpdate.exe", "TavUpdateInfo.ini", "TavWebOmblet.ocx"})
        EXPECT_FALSE(testenv::FileExists(SystemDir() + "\\" + file)) << file;
    for (const std::string& key : RegistrationKeys()) {
        const bool category = key.compare(0, 10, "Component ") == 0;
        EXPECT_EQ(category, KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    }
    IUnknown* object = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              ::CoCreateInstance(CLSID_TavWebOmblet, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                 reinterpret_cast<void**>(&object)));
    EXPECT_EQ(0, InstalledProducts());
}

} // namespace
