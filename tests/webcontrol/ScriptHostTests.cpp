#include "Fixtures.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

using namespace wctest;

namespace {

int Regsvr32(bool unregister) {
    std::string line = "C:\\windows\\system32\\regsvr32.exe /s ";
    if (unregister)
        line += "/u ";
    return Run(line + "\"" + OcxPath() + "\"");
}

// Runs a JScript file under the system's console script host.
int RunScript(const std::string& script, std::string& output) {
    std::string path = testenv::NewDir("script") + "\\page.js";
    if (!testenv::WriteFile(path, script))
        return -1;
    return Run("C:\\windows\\system32\\cscript.exe //nologo \"" + path + "\"", &output);
}

class ScriptHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, Regsvr32(false)); }
    void TearDown() override {
        Regsvr32(true);
        DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_TavWebOmblet));
    }
};

TEST_F(ScriptHostTest, PageScriptCreatesTheControlByProgIDAndCallsAMethod) {
    std::string output;
    ASSERT_EQ(0, RunScript("var o = new ActiveXObject(\"TAVWEBOMBLET.TavWebOmbletCtrl.1\");\r\n"
                           "var r = o.TavOBInstalled();\r\n"
                           "WScript.Echo(\"result \" + typeof r + \" \" + (r == 0 || r == 1));\r\n",
                           output))
        << output;
    EXPECT_NE(std::string::npos, output.find("result number true")) << output;
}

TEST_F(ScriptHostTest, UnknownMethodAndWrongArgumentCountRaiseScriptErrors) {
    std::string output;
    ASSERT_EQ(0, RunScript("var o = new ActiveXObject(\"TAVWEBOMBLET.TavWebOmbletCtrl.1\");\r\n"
                           "try { o.TavNoSuchMethod(); WScript.Echo(\"no error\"); }\r\n"
                           "catch (e) { WScript.Echo(\"unknown raised\"); }\r\n"
                           "try { o.TavOBInstalled(\"extra\"); WScript.Echo(\"no error\"); }\r\n"
                           "catch (e) { WScript.Echo(\"count raised\"); }\r\n",
                           output))
        << output;
    EXPECT_NE(std::string::npos, output.find("unknown raised")) << output;
    EXPECT_NE(std::string::npos, output.find("count raised")) << output;
    EXPECT_EQ(std::string::npos, output.find("no error")) << output;
}

} // namespace
