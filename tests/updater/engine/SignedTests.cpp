// Signed version lists: what a list must be before a pass takes it.
#include "SignedFixture.h"

Key* SignedTest::s_key = nullptr;

namespace {

// Faults: a good list refused, a long key cut, the serial not kept where the
// next pass looks, the received list and signature left behind.
TEST_F(SignedTest, ValidSignedListInstallsItsModulesAndKeepsItsSerial) {
    Publish(Head(7) + Module("a.dll", "module a"));
    FullPass();
    EXPECT_EQ("module a", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_EQ(std::vector<std::string>{"a.dll"}, Others());
    EXPECT_EQ(testenv::ReadFile(root + "\\TavUpdate.ver"), testenv::ReadFile(list));

    DWORD type = 0, size = 8;
    unsigned long long serial = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegQueryValueExA(SerialKey(KEY_QUERY_VALUE).get(), SerialName().c_str(), nullptr,
                                 &type, reinterpret_cast<BYTE*>(&serial), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), type);
    EXPECT_EQ(7u, serial);
}

// Faults: a forged, altered or unverifiable list taken, or replacing the
// previous local list; a weak, broken or empty key trusted (an empty one read
// as no signing); a list of another channel or one past its expiry taken, or
// its serial kept so the channel's own next list is refused.
TEST_F(SignedTest, ListThatDoesNotVerifyIsRefusedAndThePreviousOneKept) {
    const Key other("other", 2048), weak("weak", 1024);
    const std::string module = Module("a.dll", "module a");
    const std::string good = Head(3) + module;
    const std::string badSignature = "GetVersionInfo : ERROR, signature(/TavUpdate.ver.sig)";
    const std::string badKey = "GetVersionInfo : ERROR, Signing Key unusable";
    const std::string refused = "GetVersionInfo : ERROR, signed version list(/TavUpdate.ver)";
    const struct {
        const char* name;
        std::string served;
        const Key* signer;
        const char* appended;  // to the list after signing
        size_t signatureBytes; // kept of the signature; 0: all
        std::string keyValue;
        std::string error;
    } cases[] = {
        {"list changed", good, s_key, "C:\\evil.exe | /a.dll | E\r\n", 0, s_key->value,
         badSignature},
        {"no signature", good, nullptr, "", 0, s_key->value,
         "GetVersionInfo : DownloadFile(/TavUpdate.ver.sig) ERROR"},
        {"another key", good, &other, "", 0, s_key->value, badSignature},
        {"truncated", good, s_key, "", 200, s_key->value, badSignature},
        {"no serial", ";list=/TavUpdate.ver\r\n" + module, s_key, "", 0, s_key->value,
         refused + " has no serial"},
        {"another channel", ";serial=3\r\n;list=/beta/TavUpdate.ver\r\n" + module, s_key, "", 0,
         s_key->value, refused + " was built for list(/beta/TavUpdate.ver)"},
        {"no channel", ";serial=3\r\n" + module, s_key, "", 0, s_key->value,
         refused + " was built for list()"},
        {"expired", Head(3) + ";expires=2020-01-01T00:00:00Z\r\n" + module, s_key, "", 0,
         s_key->value, refused + " expired at 2020-01-01T00:00:00Z"},
        {"no key", good, s_key, "", 0, "bm90IGEga2V5", badKey},
        {"empty key", good, s_key, "", 0, "", badKey},
        {"weak key", good, &weak, "", 0, weak.value, badKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(testenv::WriteFile(list, "previous list"));
        Publish(c.served, c.signer);
        ASSERT_TRUE(testenv::WriteFile(root + "\\TavUpdate.ver", c.served + c.appended));
        const std::string sig = root + "\\TavUpdate.ver.sig";
        if (c.signatureBytes) {
            ASSERT_TRUE(
                testenv::WriteFile(sig, testenv::ReadFile(sig).substr(0, c.signatureBytes)));
        }
        UpdateConfig config = manager.Config();
        config.signingKey = c.keyValue;
        SetConfig(manager, config);
        trace.Clear();

        EXPECT_FALSE(Pass());
        EXPECT_EQ("previous list", testenv::ReadFile(list));
        EXPECT_TRUE(trace.Has(1, c.error, true)) << trace.Dump();
        EXPECT_TRUE(Others().empty());
        EXPECT_EQ(-1, KeptSerial());
    }
    EXPECT_EQ(0, server.CountRequests("/a.dll"));
}

// Fault: the list read again from disk after its check, where another program
// may have changed it in between.
TEST_F(SignedTest, ModulesComeFromTheVerifiedBytesNotTheFileAgain) {
    Publish(Head(2) + Module("a.dll", "module a"));
    ASSERT_EQ(1, manager.GetVersionInfo()) << trace.Dump();
    ASSERT_TRUE(testenv::WriteFile(list, "C:\\evil.dll | /a.dll | R\r\n"));
    ASSERT_EQ(1, manager.ParseVersionInfo());
    ASSERT_EQ(1u, manager.Modules().size());
    EXPECT_EQ(local + "\\a.dll", manager.Modules()[0]->localFile);
}

// Fault: an older list, signed as it was, taking back what later lists
// installed. The same serial again is the same list and is taken.
TEST_F(SignedTest, OlderSerialIsRefused) {
    std::string installed;
    for (int serial : {5, 4, 5, 12}) {
        SCOPED_TRACE(serial);
        const std::string text = Head(serial) + Module("a", "x" + std::to_string(serial));
        Publish(text);
        EXPECT_EQ(serial != 4, Pass()) << trace.Dump();
        if (serial != 4)
            installed = text;
        EXPECT_EQ(installed, testenv::ReadFile(list));
    }
}

// Fault: a desktop's serial, kept by a build that knew one server only, read
// under another name, so the rollback it guards against goes in.
TEST_F(SignedTest, SerialKeptForOneServerStillRefusesARollback) {
    const unsigned long long kept = 5;
    unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tav\\TavUpdate", 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.get(), SerialName().c_str(), 0, REG_QWORD,
                                              reinterpret_cast<const BYTE*>(&kept), sizeof(kept)));
    Publish(Head(4) + Module("a", "x4"));
    EXPECT_FALSE(Pass());
    EXPECT_TRUE(trace.Has(1, "GetVersionInfo : ERROR, serial 4 of /TavUpdate.ver", true))
        << trace.Dump();
    EXPECT_EQ(5, KeptSerial());
}

// Mirrors added after the server: it rolls back (an older list, signed as
// it was), so the next one's list is taken and its modules come from there,
// and the serial stays one value for the set, under the server's name.
// Faults: the rollback taken from a mirror, no next server tried, modules
// asked of the server that gave no list, a serial per mirror.
TEST_F(SignedTest, MirrorTakesOverFromAServerThatRollsBack) {
    const std::string mirrorRoot = testenv::NewDir("mirror_srv");
    FixtureServer mirror =
        FixtureServer::Nginx(mirrorRoot, "at=127.0.0.2:" + std::to_string(server.Port()));
    ASSERT_TRUE(mirror.Ok()) << mirror.Error();
    Publish(Head(5) + Module("a.dll", "module 5"));
    ASSERT_TRUE(Pass()) << trace.Dump();
    manager.EndPass();

    Publish(Head(4) + Module("a.dll", "module 4"));
    const std::string line = Module("a.dll", "module 6");
    ASSERT_TRUE(::MoveFileExA((root + "\\a.dll").c_str(), (mirrorRoot + "\\a.dll").c_str(),
                              MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(testenv::WriteFile(root + "\\a.dll", "module 4"));
    Publish(Head(6) + line, s_key, mirrorRoot);
    UpdateConfig config = manager.Config();
    config.remoteAddress = "127.0.0.1 , 127.0.0.2";
    SetConfig(manager, config);
    ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    const int fetched = server.CountRequests("GET /a.dll ");
    trace.Clear();
    ASSERT_TRUE(Pass()) << trace.Dump();
    manager.EndPass();
    EXPECT_TRUE(trace.Has(1, "GetVersionInfo : ERROR, serial 4 of /TavUpdate.ver", true))
        << trace.Dump();
    EXPECT_EQ("module 6", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_EQ(fetched, server.CountRequests("GET /a.dll "));
    EXPECT_EQ(1, mirror.CountRequests("GET /a.dll "));

    std::vector<std::string> names;
    char name[1024];
    DWORD length = sizeof(name);
    const unique_hkey key = SerialKey(KEY_QUERY_VALUE);
    for (DWORD i = 0; ::RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr,
                                      nullptr) == ERROR_SUCCESS;
         ++i, length = sizeof(name))
        if (std::string(name).find(":" + std::to_string(server.Port()) + " ") != std::string::npos)
            names.push_back(name);
    EXPECT_EQ(std::vector<std::string>{SerialName()}, names);
    EXPECT_EQ(6, KeptSerial());
}

// Fault: a module the signature does not cover fetched, registered or
// started because its line carries no digest, or a transfer of unknown
// length taken because it carries no size.
TEST_F(SignedTest, LineWithoutDigestOrSizeInASignedListIsSkipped) {
    const std::string noSize = Module("nosize.exe", "no size");
    Publish(Head(1) + Module("bare.exe", "bare", "E", false) +
            noSize.substr(0, noSize.find(" | size=")) + "\r\n" + Module("a.dll", "module a"));
    ASSERT_TRUE(Pass()) << trace.Dump();
    manager.EndPass();
    ASSERT_EQ(1u, manager.Modules().size());
    EXPECT_EQ(local + "\\a.dll", manager.Modules()[0]->localFile);
    EXPECT_EQ(0, server.CountRequests("/bare.exe"));
    EXPECT_EQ(0, server.CountRequests("/nosize.exe"));
}

// Faults: a module whose local file has the listed digest asked for on the
// server (time or size query) or fetched again; one that differs kept, or
// put in place without the downloader's line of a complete download. Lists
// without a key read the digest as well.
TEST_F(SignedTest, HashCurrentModuleCostsNoRequest) {
    UpdateConfig unsigned_ = manager.Config();
    unsigned_.signingKey.reset();
    SetConfig(manager, unsigned_);
    Publish(Module("current.dll", "same") + Module("stale.dll", "new"), nullptr);
    ASSERT_TRUE(testenv::WriteFile(local + "\\current.dll", "same"));
    ASSERT_TRUE(testenv::WriteFile(local + "\\stale.dll", "old"));
    ASSERT_TRUE(Pass()) << trace.Dump();
    EXPECT_EQ(0, server.CountRequests("/current.dll"));
    EXPECT_EQ("new", testenv::ReadFile(local + "\\stale.dll"));
    const std::string stale = local + "\\stale.dll";
    EXPECT_TRUE(trace.Has(3, "DownloadFile(/stale.dll->" + stale +
                                 ") : Download complete : /stale.dll -> " + stale));
    EXPECT_EQ(0, server.CountRequests("/TavUpdate.ver.sig"));
}

} // namespace
