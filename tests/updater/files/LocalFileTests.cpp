// The local file layer as a download uses it: folders made, the partial
// file beside its target, the target swapped whole.
#include "Elevation.h"
#include "NetTest.h"
#include "SecurityAttributes.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <thread>

namespace {

class DownloadTest : public NetTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", ScriptedBody(10000)));
        Connect(server, PROTOCOL_HTTP);
    }
    // The module arrived whole and is alone in its folder: no partial file left.
    void ExpectOnly(const std::string& folder, const std::string& name) {
        EXPECT_TRUE(ScriptedBody(10000) == testenv::ReadFile(folder + "\\" + name)) << name;
        EXPECT_EQ(std::vector<std::string>{name}, testenv::ListFolder(folder));
    }

    FixtureServer server = FixtureServer::Nginx(root);
};

// A folder's DACL as the file system keeps it.
std::string FolderDacl(const std::string& folder) {
    unique_hlocal descriptor, text;
    if (::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, nullptr, nullptr, descriptor.put()) != ERROR_SUCCESS ||
        !::ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor.get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
            reinterpret_cast<LPSTR*>(text.put()), nullptr))
        return "";
    return static_cast<const char*>(text.get());
}

// Whether folders keep the security they are made with (Wine 8 keeps none).
bool FoldersKeepTheirSecurity(const std::string& probe) {
    const char sddl[] = "D:P(A;OICI;FA;;;SY)";
    CSecurityAttributes security(sddl);
    ::CreateDirectoryA(probe.c_str(), security.get());
    const bool kept = FolderDacl(probe) == sddl;
    ::RemoveDirectoryA(probe.c_str());
    return kept;
}

// Faults: missing folders not made, or a folder too long for the buffer
// overrunning it; a folder the elevated updater makes inheriting what users
// may be able to write from its parent.
TEST_F(DownloadTest, MissingFoldersAreMadeWithinTheirBound) {
    const std::string nine = local + "\\1\\2\\3\\4\\5\\6\\7\\8\\9";
    ASSERT_TRUE(net.DownloadFile("/m.bin", nine + "\\x.dll", 0)) << trace.Dump();
    ExpectOnly(nine, "x.dll");
    if (IsProcessElevated() && FoldersKeepTheirSecurity(local + "\\probe"))
        EXPECT_EQ("D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
                  FolderDacl(local + "\\1\\2"));
    else
        std::printf("folder security not checked: not elevated, or not kept here\n");
    const std::string wide = local + "\\" + std::string(258 - local.size(), 'g');
    EXPECT_EQ(0, net.DownloadFile("/m.bin", wide + "\\x.dll", 0));
    EXPECT_FALSE(testenv::FileExists(wide + "\\x.dll"));
}

// Fault: a target another program holds replaced or removed, or the partial
// file left beside it; the report names the call with its error.
TEST_F(DownloadTest, HeldTargetStaysAsItWas) {
    const std::string target = local + "\\held.dll";
    ASSERT_TRUE(testenv::WriteFile(target, "former"));
    unique_hfile held(::CreateFileA(target.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(0, net.DownloadFile("/m.bin", target, 10000));
    held.reset();
    EXPECT_EQ("former", testenv::ReadFile(target));
    EXPECT_EQ(std::vector<std::string>{"held.dll"}, testenv::ListFolder(local));
    EXPECT_TRUE(trace.Has(1, "ERROR : Function(CFile::Open) failed , EC=" +
                                 std::to_string(ERROR_SHARING_VIOLATION) + " ,  \n"))
        << trace.Dump();
}

// The partial file lies in the target's own folder however the path is
// written, also where a temporary name of the usual kind would not fit.
TEST_F(DownloadTest, PartialFileFitsBesideTheTargetHoweverThePathIsWritten) {
    std::string slashes = local + "\\slashes\\x.dll";
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    const std::string deep = local + "\\" + std::string(250 - local.size(), 'd');
    const std::string here = local + "\\here";
    for (const std::string& folder : {local + "\\slashes", deep, here})
        ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(here.c_str()));
    const struct {
        std::string target, folder;
    } cases[] = {{slashes, local + "\\slashes"},
                 {deep + "\\x.dll", deep},
                 {local.substr(0, 2) + "x.dll", here}, // "Z:x.dll"
                 {"y.dll", here}};
    for (const auto& c : cases) {
        EXPECT_EQ(1, net.DownloadFile("/m.bin", c.target, 10000)) << c.target << trace.Dump();
        EXPECT_TRUE(ScriptedBody(10000) ==
                    testenv::ReadFile(c.folder + "\\" + c.target.substr(c.target.size() - 5)));
        EXPECT_TRUE(testenv::ListFolder(c.folder, "*.part").empty()) << c.target;
    }
    ::SetCurrentDirectoryA(previous);
}

// A pass that was ended half-way leaves its partial file; the next download
// into that folder clears it away.
TEST_F(DownloadTest, PartialFileOfAnEndedPassIsRemoved) {
    ASSERT_TRUE(testenv::WriteFile(local + "\\TavUpdate.fffffff0.7.part", "half a module"));
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\x.dll", 10000)) << trace.Dump();
    ExpectOnly(local, "x.dll");
}

// The installed file's attributes stay (a plain move gives it the new file's),
// and a program holding it for a moment only delays the swap.
TEST_F(DownloadTest, ReplacedModuleKeepsItsAttributesAndOutlastsABriefHold) {
    const std::string target = local + "\\kept.dll";
    ASSERT_TRUE(testenv::WriteFile(target, "former"));
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(::SetFileAttributesA(target.c_str(), attributes));
    HANDLE held = ::CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::thread scanner([held] {
        ::Sleep(400);
        ::CloseHandle(held);
    });
    const int ok = net.DownloadFile("/m.bin", target, 10000);
    scanner.join();
    EXPECT_EQ(1, ok) << trace.Dump();
    ExpectOnly(local, "kept.dll");
    EXPECT_EQ(attributes, ::GetFileAttributesA(target.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE);
}

} // namespace
