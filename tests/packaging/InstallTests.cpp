// The machine package in the real installer through a deployment's life, in
// this order: installed, replaced, used by a page, removed; then the CAB's INF
// of A. package_test.sh names the packages (TAV_PACKAGE_A with key, sites,
// trace level 3 and the task at 04:30 with a delay of 2 hours, B without).
#include "ComInit.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace wctest;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

int Msiexec(const char* action, const char* package) {
    return testenv::RunProcess("msiexec.exe " + std::string(action) + " \"" + Env(package) +
                               "\" /qn");
}

int InstalledProducts() {
    char product[39];
    int n = 0;
    while (::MsiEnumRelatedProductsA("{D7F4CD3B-79B7-4D0F-94FB-0C3D00C70D22}", 0, n, product) ==
           ERROR_SUCCESS)
        ++n;
    return n;
}

const char kUpdaterKey[] = "SOFTWARE\\Tav\\TavUpdate";
const char kControlKey[] = "SOFTWARE\\Tav\\TavWebOmblet";
const char kEventSourceKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\TavUpdate";
const char kSites[] = "https://portal.example.com\0https://*.example.org:8443\0";

// Every key the control's registration may write, in the 32-bit view.
const std::vector<std::string> kRegistration = {
    "CLSID\\" + GuidText(CLSID_TavWebOmblet),
    "CLSID\\" + GuidText(kPropPageClsid),
    kProgID,
    "TAVWEBOMBLET.TavWebOmbletPropPage.1",
    "TypeLib\\" + GuidText(LIBID_TAVWEBOMBLETLib),
    "Interface\\" + GuidText(DIID__DTavWebOmblet),
    "Interface\\" + GuidText(DIID__DTavWebOmbletEvents),
    "Component Categories\\" + GuidText(CATID_SafeForScripting),
    "Component Categories\\" + GuidText(CATID_SafeForInitializing)};

// Every value below path as "key | name | type | data". A folder reads the
// same with or without its closing backslash: the installer's folder
// properties carry one, the module's own registration does not.
void DumpTree(const std::string& path, std::vector<std::string>* lines) {
    unique_hkey key;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    lines->push_back(path);
    char name[256], data[2048];
    DWORD size = sizeof(name), dataSize = sizeof(data), type = 0;
    for (DWORD i = 0; ::RegEnumValueA(key.get(), i, name, &size, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataSize) == ERROR_SUCCESS;
         ++i, size = sizeof(name), dataSize = sizeof(data)) {
        std::string text = type == REG_SZ ? std::string(data) : std::string(data, dataSize);
        if (type == REG_SZ && !text.empty() && text.back() == '\\')
            text.pop_back();
        lines->push_back(path + " | " + name + " | " + std::to_string(type) + " | " + text);
    }
    for (DWORD i = 0; ::RegEnumKeyA(key.get(), i, name, sizeof(name)) == ERROR_SUCCESS; ++i)
        DumpTree(path + "\\" + name, lines);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Where the installer puts the files (the system folder of 32-bit
// programs), in lower case.
std::string InstalledFile(const char* name) {
    char dir[MAX_PATH] = {};
    ::GetSystemWow64DirectoryA(dir, MAX_PATH);
    return Lower(std::string(dir) + "\\" + name);
}

// Wine's Task Scheduler keeps the definition's settings there, not its
// command or triggers: in the native system folder, which a 32-bit program
// on 64-bit Windows reaches as Sysnative.
std::string TaskFile() {
    BOOL wow64 = FALSE;
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    return (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64
                ? std::string(windows) + "\\Sysnative"
                : SystemDir()) +
           "\\Tasks\\TavUpdate";
}

std::vector<std::string> DumpRegistration() {
    std::vector<std::string> lines;
    for (const std::string& key : kRegistration)
        DumpTree(key, &lines);
    return lines;
}

class PackageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_FALSE(Env("TAV_PACKAGE_A").empty()) << "run through package_test.sh";
        // Nothing of an earlier, interrupted run.
        Msiexec("/x", "TAV_PACKAGE_A");
        Msiexec("/x", "TAV_PACKAGE_B");
        // The updater the installer runs logs here (A sets level 3).
        log = testenv::NewDir("msi-log") + "\\TavUpdate.log";
        logFile =
            std::make_unique<MachineValue>(kUpdaterKey, "TraceFile", REG_SZ, log, KEY_WOW64_32KEY);
    }
    static void TearDownTestSuite() { logFile.reset(); }
    static std::string log;
    static std::unique_ptr<MachineValue> logFile;
    CComApartment com;
};
std::string PackageTest::log;
std::unique_ptr<MachineValue> PackageTest::logFile;

// The installer writes the registration itself (so it can repair and remove
// it): it must be what the module's own DllRegisterServer writes, key for
// key and value for value, for the same file in the same place.
TEST_F(PackageTest, InstallRegistersTheControlAsItsOwnRegistrationDoes) {
    std::vector<std::string> own;
    {
        char wow64[MAX_PATH] = {};
        ASSERT_NE(0u, ::GetSystemWow64DirectoryA(wow64, MAX_PATH));
        ScopedFile ocx(std::string(wow64) + "\\TavWebOmblet.ocx", OcxPath());
        ASSERT_TRUE(ocx.ok);
        ASSERT_EQ(0, testenv::RunProcess("regsvr32.exe /s \"" + ocx.path + "\""));
        own = DumpRegistration();
        testenv::RunProcess("regsvr32.exe /s /u \"" + ocx.path + "\"");
        for (const std::string& key : kRegistration)
            DeleteTree(HKEY_CLASSES_ROOT, key);
    }
    ASSERT_EQ(0, Msiexec("/i", "TAV_PACKAGE_A"));
    EXPECT_EQ(own, DumpRegistration());
    EXPECT_EQ(1, InstalledProducts());
}

// The installer has the installed updater set its task with the installed
// settings (its log names what it was given) and registers the event source
// for the installed program.
TEST_F(PackageTest, InstallSchedulesTheInstalledUpdaterAndRegistersItsEventSource) {
    EXPECT_TRUE(testenv::FileExists(TaskFile()));
    const std::string registered =
        "ctaskschedule 3 register : task tavupdate, \"" + InstalledFile("TavUpdate.exe") + "\" \"" +
        InstalledFile("TavUpdateInfo.ini") + "\" /unattended at 04:30 + 2h";
    std::vector<std::string> entries = testenv::LogEntries(log);
    std::transform(entries.begin(), entries.end(), entries.begin(), Lower);
    EXPECT_EQ(1, std::count(entries.begin(), entries.end(), registered)) << registered << "\n"
                                                                         << testenv::ReadFile(log);
    EXPECT_EQ(InstalledFile("TavUpdate.exe"),
              Lower(ReadValue(HKEY_LOCAL_MACHINE, kEventSourceKey, "EventMessageFile")));
    EXPECT_EQ(std::string("\7\0\0\0", 4),
              ReadValue(HKEY_LOCAL_MACHINE, kEventSourceKey, "TypesSupported"));
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
    EXPECT_EQ(std::string(kSites, sizeof(kSites)),
              ReadValue(HKEY_LOCAL_MACHINE, kControlKey, "AllowedSites"));
    for (const char* key : {kUpdaterKey, kControlKey})
        EXPECT_EQ(std::string("\3\0\0\0", 4), ReadValue(HKEY_LOCAL_MACHINE, key, "TraceLevel"))
            << key;
}

// The same binaries packaged again with other settings: a new product code,
// so the installer replaces the installed package instead of keeping its
// settings (or refusing) under the old one. A's removal takes its task and B
// sets none; every package registers the event source.
TEST_F(PackageTest, PackageWithOtherSettingsReplacesTheInstalledOne) {
    ASSERT_EQ(0, Msiexec("/i", "TAV_PACKAGE_B"));
    EXPECT_EQ(std::string::npos,
              testenv::ReadFile(SystemDir() + "\\TavUpdateInfo.ini").find("Signing Key="));
    EXPECT_EQ("<missing>", ReadValue(HKEY_LOCAL_MACHINE, kControlKey, "AllowedSites"));
    for (const char* key : {kUpdaterKey, kControlKey})
        EXPECT_EQ("<missing>", ReadValue(HKEY_LOCAL_MACHINE, key, "TraceLevel")) << key;
    EXPECT_FALSE(testenv::FileExists(TaskFile()));
    EXPECT_EQ(InstalledFile("TavUpdate.exe"),
              Lower(ReadValue(HKEY_LOCAL_MACHINE, kEventSourceKey, "EventMessageFile")));
    EXPECT_EQ(1, InstalledProducts());
}

// The whole road through the installed control, created by ProgID under the
// script host: the page finds no client, has the installed updater install
// it from the web server, then logs in, calls, opens a room, joins and stops.
TEST_F(PackageTest, PageInstallsTheClientThroughTheInstalledUpdaterAndDrivesIt) {
    DeleteTree(HKEY_LOCAL_MACHINE, kAppPathsKey);
    const std::string web = Env("TAV_PACKAGE_WEB");
    StandIn standIn(web); // served from here, installed into the folder below
    ASSERT_TRUE(standIn.ok);
    const std::string client = testenv::NewDir("installed") + "\\ombletplus.exe";
    ASSERT_TRUE(testenv::WriteFile(web + "\\version.txt", client + " | /ombletplus.exe | E\r\n"));
    EXPECT_EQ(RunPage("WScript.Echo(o.TavOBInstalled());\r\no.TavOmbletInstall();\r\n"),
              std::vector<std::string>{"0"});
    // The updater's pass downloads the client and starts it (marked E).
    ASSERT_TRUE(standIn.WaitForWindow());
    EXPECT_EQ(testenv::ReadFile(standIn.Program()), testenv::ReadFile(client));

    AppPathsEntry entry(client);
    EXPECT_EQ(RunPage(R"(
WScript.Echo(o.TavOBInstalled());
o.TavStartOmblet("kim", "Kim Chulsoo", "secret");
WScript.Echo(o.TavOpenP2PCall("kim", "Kim Chulsoo", "secret", "lee", "Lee"));
WScript.Echo(o.TavOpenMeetingRoom("kim", "Kim Chulsoo", "secret", "lee,Lee,park,Park"));
o.TavIntoMeetingRoom("kim", "Kim Chulsoo", "secret", "room-42");
o.TavStopOmblet();
)"),
              (std::vector<std::string>{"1", "1", "1"}));
    for (const char* line :
         {"start /messenger /s:on /user:kim:\"Kim Chulsoo\" /p:secret /msgrtitle:\"TavWebOmblet\"",
          "start /messenger /conference:join /key:room-42", "start /messenger /s:off", "closed"})
        EXPECT_TRUE(standIn.WaitForLine(line)) << line << "\n" << standIn.Log();
    // The updater closes by itself after the pass; removal must not find it running.
    EXPECT_TRUE(WaitFor([] {
        unique_hfile processes(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32First(processes.get(), &entry); more;
             more = ::Process32Next(processes.get(), &entry))
            if (::lstrcmpiA(entry.szExeFile, "TavUpdate.exe") == 0)
                return false;
        return true;
    }));
}

TEST_F(PackageTest, RemovalTakesFilesClassesAndEventSourceAndLeavesTheSafetyCategories) {
    ASSERT_EQ(0, Msiexec("/x", "TAV_PACKAGE_B"));
    for (const char* file : {"TavUpdate.exe", "TavUpdateInfo.ini", "TavWebOmblet.ocx"})
        EXPECT_FALSE(testenv::FileExists(SystemDir() + "\\" + file)) << file;
    for (const std::string& key : kRegistration)
        EXPECT_EQ(key.compare(0, 10, "Component ") == 0, KeyExists(HKEY_CLASSES_ROOT, key)) << key;
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEventSourceKey));
    EXPECT_EQ(0, InstalledProducts());
}

// A browser installing the control from A's CAB runs the INF's site lock
// section through advpack: the same value as the MSI's, in the same view.
TEST_F(PackageTest, CabInfWritesTheSiteLockAsTheMsiDoes) {
    ASSERT_EQ("<missing>", ReadValue(HKEY_LOCAL_MACHINE, kControlKey, "AllowedSites"));
    EXPECT_EQ(0, testenv::RunProcess("rundll32.exe advpack.dll,LaunchINFSection " +
                                     Env("TAV_PACKAGE_INF") + ",SiteLock.Install,,1"));
    EXPECT_EQ(std::string(kSites, sizeof(kSites)),
              ReadValue(HKEY_LOCAL_MACHINE, kControlKey, "AllowedSites"));
    DeleteTree(HKEY_LOCAL_MACHINE, kControlKey);
}

} // namespace
