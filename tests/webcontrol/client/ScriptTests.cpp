// The control as a page sees it: created by ProgID from JScript under
// cscript, its methods called by name, the client a real stand-in process.

#include "Fixtures.h"
#include "OmbletClient.h"
#include "Process.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string ControlPath() {
    return testenv::BinDir() + "\\TavWebOmblet.ocx";
}

class ScriptTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registered = RegisterModule(ControlPath()); }
    static void TearDownTestSuite() { RegisterModule(ControlPath(), true); }

    void SetUp() override {
        ASSERT_TRUE(registered) << "regsvr32 " << ControlPath();
        ASSERT_TRUE(standIn.Install(testenv::NewDir("client")));
    }

    // Runs the body with the control in o; returns what it echoed.
    std::vector<std::string> RunPage(const std::string& body) {
        const ProcessResult r = ::RunPage(body);
        EXPECT_TRUE(r.finished) << r.output;
        return SplitLines(r.output);
    }

    void StartStandIn() {
        COmbletClient starter;
        starter.m_strClientDir = standIn.Dir();
        starter.StartClient("kim", "Kim", "pw");
        ASSERT_TRUE(standIn.WaitForWindow()) << standIn.Log();
        standIn.ClearLog();
    }

    static bool registered;
    StandIn standIn;
};

bool ScriptTest::registered = false;

TEST_F(ScriptTest, PageMessagesReachTheClientByteForByte) {
    AppPathsEntry entry(standIn.Program());
    StartStandIn();
    const auto echoed = RunPage(R"(
WScript.Echo(o.TavOBInstalled());
WScript.Echo(o.TavOpenP2PCall("kim", "Kim", "pw", "kim", "Kim"));
WScript.Echo(o.TavOpenP2PCall("kim", "Kim", "pw", "lee", "\uC774\uC21C\uC2E0"));
WScript.Echo(o.TavOpenMeetingRoom("kim", "Kim", "pw", "a,Alice,b,Bob"));
WScript.Echo(o.TavOpenMeetingWindow("", "", ""));
WScript.Echo(o.TavOpenP2PCall("kim", "Kim", "pw", "a\u0005b", "x"));
WScript.Echo(o.TavOpenMeetingRoom("kim", "Kim", "pw", "a,b\u0015c,d"));
WScript.Echo("done");
)");
    EXPECT_EQ(echoed, (std::vector<std::string>{"1", "1", "1", "1", "1", "0", "0", "done"}));
    EXPECT_EQ(standIn.Lines(),
              (std::vector<std::string>{
                  "copydata 110 10 07 6B 69 6D 05 4B 69 6D 08 00",
                  // the page's Unicode name arrives in code page 949
                  "copydata 110 13 07 6C 65 65 05 C0 CC BC F8 BD C5 08 00",
                  "copydata 126 17 07 61 05 41 6C 69 63 65 15 62 05 42 6F 62 15 08 00",
                  "copydata 120 0 null",
              }));
}

TEST_F(ScriptTest, NotInstalledClientGivesZeroResults) {
    AppPathsEntry::Remove();
    const auto echoed = RunPage(R"(
WScript.Echo(o.TavOBInstalled());
WScript.Echo(o.TavOpenMeetingWindow("kim", "Kim", "pw"));
o.TavIntoMeetingRoom("kim", "Kim", "pw", "room");
WScript.Echo("done");
)");
    EXPECT_EQ(echoed, (std::vector<std::string>{"0", "0", "done"}));
    EXPECT_EQ("", standIn.Log());
}

} // namespace
