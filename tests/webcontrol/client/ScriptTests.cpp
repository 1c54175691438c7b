// The control as a page sees it: created by ProgID from JScript under
// cscript, its methods called by name, the client a real stand-in process.

#include "Fixtures.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.ok);
        ASSERT_TRUE(standIn.Use(testenv::NewDir("client")));
    }

    RegisteredControl control;
    StandIn standIn;
};

TEST_F(ScriptTest, PageMessagesReachTheClientByteForByte) {
    AppPathsEntry entry(standIn.Program());
    ASSERT_TRUE(standIn.Start());
    EXPECT_EQ(RunPage(R"(
WScript.Echo(o.TavOBInstalled());
WScript.Echo(o.TavOpenP2PCall("kim", "Kim", "pw", "kim", "Kim"));
WScript.Echo(o.TavOpenP2PCall("kim", "Kim", "pw", "lee", "\uC774\uC21C\uC2E0"));
WScript.Echo(o.TavOpenMeetingRoom("kim", "Kim", "pw", "a,Alice,b,Bob"));
WScript.Echo(o.TavOpenMeetingWindow("", "", ""));
WScript.Echo(o.TavOpenP2PCall("kim", "Kim", "pw", "a\u0005b", "x"));
WScript.Echo(o.TavOpenMeetingRoom("kim", "Kim", "pw", "a,b\u0015c,d"));
WScript.Echo("done");
)"),
              (std::vector<std::string>{"1", "1", "1", "1", "1", "0", "0", "done"}));
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
    EXPECT_EQ(RunPage(R"(
WScript.Echo(o.TavOBInstalled());
WScript.Echo(o.TavOpenMeetingWindow("kim", "Kim", "pw"));
o.TavIntoMeetingRoom("kim", "Kim", "pw", "room");
WScript.Echo("done");
)"),
              (std::vector<std::string>{"0", "0", "done"}));
    EXPECT_EQ("", standIn.Log());
}

} // namespace
