#include "Fixtures.h"
#include "TavWebOmblet_h.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

using namespace wctest;

namespace {

// A page script run by the system's console script host; its exit code
// tells what it saw.
TEST(ScriptHostTest, PageScriptCreatesTheControlByProgIDAndCallsAMethod) {
    ASSERT_EQ(0, Regsvr32(false));
    std::string path = testenv::NewDir("script") + "\\page.js";
    ASSERT_TRUE(testenv::WriteFile(
        path, "var o = new ActiveXObject(\"TAVWEBOMBLET.TavWebOmbletCtrl.1\");\r\n"
              "var r = o.TavOBInstalled();\r\n"
              "if (typeof r != \"number\" || (r != 0 && r != 1)) WScript.Quit(2);\r\n"
              "try { o.TavNoSuchMethod(); WScript.Quit(3); } catch (e) {}\r\n"
              "WScript.Quit(0);\r\n"));
    EXPECT_EQ(0,
              testenv::RunProcess("C:\\windows\\system32\\cscript.exe //nologo \"" + path + "\""));
    Regsvr32(true);
    DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(CLSID_TavWebOmblet));
}

} // namespace
