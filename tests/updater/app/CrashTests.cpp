// A signed pass ended at a step of its swap, as a kill or a power cut ends
// it (the test hook), then a pass that reaches no server, then one that does.
// The release's client is the recorder with the release's number appended,
// so the file that started is one release's.
#include "PassExitCode.h"
#include "PassFixture.h"
#include "SwapJournal.h"

#include <algorithm>

namespace {

const char* const kModules[] = {"client.exe", "two.bin", "three.bin"};

std::string Broker(const std::string& line) {
    const std::string answer = BrokerCall(line);
    EXPECT_EQ(0u, answer.rfind("ok", 0)) << line << ": " << answer;
    return answer.size() > 3 ? answer.substr(3) : std::string();
}

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    ::GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::vector<std::string> Journals() {
    return testenv::ListFolder(SystemFolder(), "TavUpdate.*.journal");
}

class CrashTest : public PassFixture {
protected:
    static void SetUpTestSuite() {
        s_pem = new std::string(testenv::ToUnix(testenv::NewDir("keys") + "\\p.pem"));
        s_key = new std::string(Broker("keygen " + *s_pem + " 2048"));
    }
    static void TearDownTestSuite() {
        delete s_key;
        delete s_pem;
    }
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        const std::string key = "Signing Key=" + *s_key + "\r\n";
        ASSERT_TRUE(testenv::WriteFile(workDir + "\\pass.ini",
                                       Config("HTTP", server.Port(), Installed("client.exe"), "",
                                              "Remote Address=127.0.0.1\r\n" + key)));
        // Nothing listens there: the pass reaches no server.
        ASSERT_TRUE(testenv::WriteFile(workDir + "\\offline.ini",
                                       Config("HTTP", server.Port(), Installed("client.exe"), "",
                                              "Remote Address=127.0.0.2\r\n" + key)));
    }
    void TearDown() override {
        ::SetEnvironmentVariableA("TAV_TEST_END_AT", nullptr);
        for (const std::string& name : Journals())
            ::DeleteFileA((SystemFolder() + "\\" + name).c_str());
        const std::string value =
            "HTTP 127.0.0.1:" + std::to_string(server.Port()) + " /TavUpdate.ver";
        for (const char* subkey : {"", "\\Installed", "\\Keys"}) {
            HKEY key = nullptr;
            if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                                (std::string("SOFTWARE\\Tav\\TavUpdate") + subkey).c_str(), 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
                ::RegDeleteValueA(key, value.c_str());
                ::RegCloseKey(key);
            }
        }
    }

    static std::string Content(int release, const std::string& name) {
        const std::string mark = "\r\nrelease " + std::to_string(release) + " " + name;
        static const std::string recorder =
            testenv::ReadFile(testenv::BinDir() + "\\app_fixture_recorder.exe");
        return name == "client.exe" ? recorder + mark : ScriptedBody(5000) + mark;
    }
    // Serves the release: its modules and its signed list.
    void Publish(int release) {
        std::string list = ";serial=" + std::to_string(release) + "\r\n;list=/TavUpdate.ver\r\n";
        for (const char* name : kModules) {
            const std::string content = Content(release, name);
            ASSERT_TRUE(testenv::WriteFile(Served(name), content));
            list += Installed(name) + " | /" + name + " | " + (name[0] == 'c' ? "E" : "-") +
                    " | sha256=" + Broker("sha256 " + testenv::ToUnix(Served(name))) +
                    " | size=" + std::to_string(content.size()) + "\r\n";
        }
        ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), list));
        Broker("sign " + *s_pem + " " + testenv::ToUnix(Served("TavUpdate.ver")) + " " +
               testenv::ToUnix(Served("TavUpdate.ver.sig")));
    }
    // One pass with the INI of the working folder; its exit code.
    int Pass(const std::string& ini, const char* endAt = nullptr) {
        ::DeleteFileA((Installed("client.exe") + ".ran").c_str());
        ::SetEnvironmentVariableA("TAV_TEST_END_AT", endAt);
        const bool started = app.Start(workDir, workDir + "\\" + ini);
        ::SetEnvironmentVariableA("TAV_TEST_END_AT", nullptr);
        EXPECT_TRUE(started);
        return started ? app.ExitCode(120) : -1;
    }
    // Every module of that release, and nothing of the updater beside them.
    void ExpectWhole(int release) const {
        for (const char* name : kModules)
            EXPECT_TRUE(Content(release, name) == testenv::ReadFile(Installed(name)))
                << name << " not of release " << release;
        std::vector<std::string> names = testenv::ListFolder(installDir);
        names.erase(std::remove(names.begin(), names.end(), "client.exe.ran"), names.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ((std::vector<std::string>{"client.exe", "three.bin", "two.bin"}), names);
        EXPECT_TRUE(Journals().empty());
    }
    void ExpectNothingStarted() const {
        ::Sleep(1500);
        EXPECT_FALSE(testenv::FileExists(Installed("client.exe") + ".ran"));
    }
    // Release 1 installed by a pass, release 2 served, and its pass ended at
    // the step.
    void EndReleaseTwoAt(const char* step) {
        Publish(1);
        ASSERT_EQ(EXIT_PASS_OK, Pass("pass.ini"));
        ExpectWhole(1);
        Publish(2);
        ASSERT_EQ(static_cast<int>(kEndedAtTestStep), Pass("pass.ini", step));
        ASSERT_EQ(1u, Journals().size());
    }

    static std::string* s_key;
    static std::string* s_pem;
    FixtureServer server = FixtureServer::Nginx(serverDir);
};

std::string* CrashTest::s_key = nullptr;
std::string* CrashTest::s_pem = nullptr;

struct EndStep {
    const char* at;
    int offlineRelease; // the release the pass without a server finds whole
};

class EndedSwapTest : public CrashTest, public ::testing::WithParamInterface<EndStep> {};

// Faults: a module left missing (ended between its two renames) or a mix of
// the two releases (ended after a swap) kept by the pass that reaches no
// server and its client started on it; a done swap rolled back; aside
// copies, partial files or the journal left once the server is reached.
TEST_P(EndedSwapTest, PassWithoutServerStartsOneWholeReleaseAndTheNextInstallsTheNew) {
    EndReleaseTwoAt(GetParam().at);
    ASSERT_EQ(EXIT_NO_SERVER, Pass("offline.ini"));
    ExpectStartedOnce(Installed("client.exe"));
    ExpectWhole(GetParam().offlineRelease);
    ASSERT_EQ(EXIT_PASS_OK, Pass("pass.ini"));
    ExpectStartedOnce(Installed("client.exe"));
    ExpectWhole(2);
    std::vector<std::string> work = testenv::ListFolder(workDir);
    std::sort(work.begin(), work.end());
    EXPECT_EQ(
        (std::vector<std::string>{"TavUpdate.ver", "TavUpdate.ver.sig", "offline.ini", "pass.ini"}),
        work);
}

INSTANTIATE_TEST_SUITE_P(Steps, EndedSwapTest,
                         ::testing::Values(EndStep{"aside:2", 1}, EndStep{"swap:2", 1},
                                           EndStep{"done:1", 2}));

// A program holds an aside copy, so the rollback cannot be done. Faults: the
// client started from the mix, the pass ending as if it were whole, the
// journal given up so the next pass cannot roll back.
TEST_F(CrashTest, RollbackAProgramBlocksStartsNothingAndTheNextPassFinishesIt) {
    EndReleaseTwoAt("swap:2");
    const std::vector<std::string> asides =
        testenv::ListFolder(installDir, "two.bin.TavUpdate.*.old");
    ASSERT_EQ(1u, asides.size());
    HANDLE holder = ::CreateFileA((installDir + "\\" + asides[0]).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    EXPECT_EQ(EXIT_LAUNCH_FAILED, Pass("offline.ini"));
    ::CloseHandle(holder);
    ExpectNothingStarted();
    EXPECT_EQ(1u, Journals().size());
    ASSERT_EQ(EXIT_NO_SERVER, Pass("offline.ini"));
    ExpectStartedOnce(Installed("client.exe"));
    ExpectWhole(1);
}

// A pass whose INI names other folders. Fault: the journal of a folder the
// pass does not know acted on (a planted one would move any file).
TEST_F(CrashTest, JournalOfAFolderThePassDoesNotKnowMovesNothing) {
    EndReleaseTwoAt("swap:2");
    const std::string other = testenv::NewDir("other");
    const std::string program = Copy("app_fixture_recorder.exe", other + "\\other.exe");
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\other.ini",
                           Config("HTTP", server.Port(), program, other + "\\TavUpdate.ver",
                                  "Remote Address=127.0.0.2\r\nSigning Key=" + *s_key + "\r\n")));
    std::vector<std::string> before = testenv::ListFolder(installDir);
    ASSERT_EQ(EXIT_NO_SERVER, Pass("other.ini"));
    EXPECT_EQ(before, testenv::ListFolder(installDir));
    EXPECT_EQ(1u, Journals().size());
    ASSERT_EQ(EXIT_NO_SERVER, Pass("offline.ini"));
    ExpectWhole(1);
}

// A first install ended in its swap, by a pass whose INI names no program:
// only the server's list names the folder. Fault: its journal left to a
// later pass, which would take out the modules this one found in place.
TEST_F(CrashTest, FirstInstallEndedInItsSwapIsFinishedByTheNextPass) {
    ASSERT_TRUE(
        testenv::WriteFile(workDir + "\\fresh.ini",
                           Config("HTTP", server.Port(), "", "",
                                  "Remote Address=127.0.0.1\r\nSigning Key=" + *s_key + "\r\n")));
    Publish(1);
    ASSERT_EQ(static_cast<int>(kEndedAtTestStep), Pass("fresh.ini", "swap:2"));
    ASSERT_EQ(1u, Journals().size());
    ASSERT_EQ(EXIT_PASS_OK, Pass("fresh.ini"));
    ExpectStartedOnce(Installed("client.exe"));
    ExpectWhole(1);
}

} // namespace
