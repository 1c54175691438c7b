// Signed version lists and listed SHA-256 digests, against nginx, with keys,
// signatures and digests made by openssl (through the fixture broker).
#include "EngineTest.h"

#include <algorithm>
#include <vector>

namespace {

std::string Broker(const std::string& line) {
    const std::string answer = BrokerCall(line);
    EXPECT_EQ(0u, answer.rfind("ok", 0)) << line << ": " << answer;
    return answer.size() > 3 ? answer.substr(3) : std::string();
}

// One RSA key made by openssl: its PEM file and its "Signing Key" value.
struct Key {
    Key(const std::string& name, int bits)
        : pem(testenv::NewDir("keys") + "\\" + name + ".pem"),
          value(Broker("keygen " + testenv::ToUnix(pem) + " " + std::to_string(bits))) {}
    std::string pem, value;
};

// Where a pass keeps the serials it accepted: the 32-bit registry view.
unique_hkey SerialKey(REGSAM access) {
    unique_hkey key;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tav\\TavUpdate", 0, access | KEY_WOW64_32KEY,
                    key.put());
    return key;
}

class SignedTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_key = new Key("publisher", 3072); }
    static void TearDownTestSuite() { delete s_key; }

    // A 3072-bit key is longer than the profile buffer of the other values.
    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        ASSERT_TRUE(testenv::WriteFile(
            ini, "[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=HTTP\r\nRemote Port=" +
                     std::to_string(server.Port()) +
                     "\r\nRemote Version File=/TavUpdate.ver\r\nSigning Key=" + s_key->value +
                     "\r\n[LOCAL]\r\nLocal Version File=" + list + "\r\n"));
        ASSERT_EQ(1, manager.LoadConfig(ini)) << trace.Dump();
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }
    void TearDown() override {
        ::RegDeleteValueA(SerialKey(KEY_SET_VALUE).get(), SerialName().c_str());
    }

    std::string SerialName() const {
        return "HTTP 127.0.0.1:" + std::to_string(server.Port()) + " /TavUpdate.ver";
    }
    // A module served with this content; its list line, with its digest unless
    // told otherwise.
    std::string Module(const std::string& name, const std::string& content, bool hashed = true) {
        EXPECT_TRUE(testenv::WriteFile(root + "\\" + name, content));
        const std::string line = local + "\\" + name + " | /" + name + " | -";
        return line +
               (hashed ? " | sha256=" + Broker("sha256 " + testenv::ToUnix(root + "\\" + name))
                       : "") +
               "\r\n";
    }
    // Serves the list, signed with the key given (none: no signature).
    void Publish(const std::string& text, const Key* key) {
        const std::string served = root + "\\TavUpdate.ver", sig = served + ".sig";
        ASSERT_TRUE(testenv::WriteFile(served, text));
        ::DeleteFileA(sig.c_str());
        if (key)
            Broker("sign " + testenv::ToUnix(key->pem) + " " + testenv::ToUnix(served) + " " +
                   testenv::ToUnix(sig));
    }
    // The stages of a pass up to the launch, each only when the last succeeded.
    bool Pass() {
        return manager.GetVersionInfo() && manager.ParseVersionInfo() &&
               manager.CompareVersionInfo() &&
               (!manager.CountModulesToUpdate() || manager.DownloadNewFiles());
    }
    // The local folder besides the INI file and the list: modules and any
    // received file left behind.
    std::vector<std::string> Others() const {
        std::vector<std::string> names = testenv::ListFolder(local);
        for (const char* own : {"TavUpdateInfo.ini", "TavUpdate.ver"})
            names.erase(std::remove(names.begin(), names.end(), own), names.end());
        return names;
    }

    static Key* s_key;
    std::string root = testenv::NewDir("signed_srv"), local = testenv::NewDir("signed_local");
    std::string list = local + "\\TavUpdate.ver", ini = local + "\\TavUpdateInfo.ini";
    FixtureServer server = FixtureServer::Nginx(root);
    TraceRecorder trace;
    CAULMgr manager;
};
Key* SignedTest::s_key = nullptr;

// Faults: a good list refused, a long key cut, the serial not kept where the
// next pass looks, the received list and signature left behind.
TEST_F(SignedTest, ValidSignedListInstallsItsModulesAndKeepsItsSerial) {
    Publish(";serial=7\r\n" + Module("a.dll", "module a"), s_key);
    ASSERT_TRUE(Pass()) << trace.Dump();
    EXPECT_EQ("module a", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_EQ(std::vector<std::string>{"a.dll"}, Others());

    DWORD type = 0, size = 8;
    unsigned long long serial = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegQueryValueExA(SerialKey(KEY_QUERY_VALUE).get(), SerialName().c_str(), nullptr,
                                 &type, reinterpret_cast<BYTE*>(&serial), &size));
    EXPECT_EQ(static_cast<DWORD>(REG_QWORD), type);
    EXPECT_EQ(7u, serial);
}

// Faults: a forged, altered or unverifiable list taken, or replacing the
// previous local list; a weak or broken key trusted; falling back to an
// unsigned list.
TEST_F(SignedTest, ListThatDoesNotVerifyIsRefusedAndThePreviousOneKept) {
    const Key other("other", 2048), weak("weak", 1024);
    const std::string good = ";serial=3\r\n" + Module("a.dll", "module a");
    const std::string badSignature = "GetVersionInfo : ERROR, signature(/TavUpdate.ver.sig)";
    const std::string badKey = "GetVersionInfo : ERROR, Signing Key unusable";
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
        {"no serial", Module("a.dll", "module a"), s_key, "", 0, s_key->value,
         "GetVersionInfo : ERROR, signed version list(/TavUpdate.ver) has no serial"},
        {"no key", good, s_key, "", 0, "bm90IGEga2V5", badKey},
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
        manager.SetConfig(config);
        trace.Clear();

        EXPECT_FALSE(Pass());
        EXPECT_EQ("previous list", testenv::ReadFile(list));
        EXPECT_TRUE(trace.Has(1, c.error, true)) << trace.Dump();
        EXPECT_TRUE(Others().empty());
    }
    EXPECT_EQ(0, server.CountRequests("/a.dll"));
}

// Fault: the list read again from disk after its check, where another program
// may have changed it in between.
TEST_F(SignedTest, ModulesComeFromTheVerifiedBytesNotTheFileAgain) {
    Publish(";serial=2\r\n" + Module("a.dll", "module a"), s_key);
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
    for (const char* serial : {"5", "4", "5", "12"}) {
        SCOPED_TRACE(serial);
        const std::string text =
            std::string(";serial=") + serial + "\r\n" + Module("a", std::string("x") + serial);
        Publish(text, s_key);
        const bool older = std::string(serial) == "4";
        EXPECT_EQ(older ? 0 : 1, manager.GetVersionInfo()) << trace.Dump();
        if (!older)
            installed = text;
        EXPECT_EQ(installed, testenv::ReadFile(list));
    }
}

// Faults: a module changed on the server after signing installed, or its
// installed copy overwritten or removed.
TEST_F(SignedTest, ModuleChangedAfterSigningIsNotInstalled) {
    Publish(";serial=1\r\n" + Module("a.dll", "signed bytes"), s_key);
    Module("a.dll", "other bytes", false);
    ASSERT_TRUE(testenv::WriteFile(local + "\\a.dll", "installed before"));
    ASSERT_TRUE(Pass()) << trace.Dump();
    EXPECT_EQ("installed before", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_TRUE(trace.Has(1, "DownloadNewFiles : ERROR, SHA-256 mismatch(/a.dll)", true))
        << trace.Dump();
    EXPECT_EQ(std::vector<std::string>{"a.dll"}, Others());
}

// Fault: a module the signature does not cover fetched, registered or
// started because its line carries no digest.
TEST_F(SignedTest, LineWithoutDigestInASignedListIsSkipped) {
    Publish(";serial=1\r\n" + Module("bare.exe", "bare", false) + Module("a.dll", "module a"),
            s_key);
    ASSERT_TRUE(Pass()) << trace.Dump();
    ASSERT_EQ(1u, manager.Modules().size());
    EXPECT_EQ(local + "\\a.dll", manager.Modules()[0]->localFile);
    EXPECT_EQ(0, server.CountRequests("/bare.exe"));
}

// Faults: a module whose local file has the listed digest asked for on the
// server (time or size query) or fetched again; one that differs kept. Lists
// without a key read the digest as well.
TEST_F(SignedTest, HashCurrentModuleCostsNoRequest) {
    UpdateConfig unsigned_ = manager.Config();
    unsigned_.signingKey.clear();
    manager.SetConfig(unsigned_);
    Publish(Module("current.dll", "same") + Module("stale.dll", "new"), nullptr);
    ASSERT_TRUE(testenv::WriteFile(local + "\\current.dll", "same"));
    ASSERT_TRUE(testenv::WriteFile(local + "\\stale.dll", "old"));
    ASSERT_TRUE(Pass()) << trace.Dump();
    EXPECT_EQ(0, server.CountRequests("/current.dll"));
    EXPECT_EQ("new", testenv::ReadFile(local + "\\stale.dll"));
    EXPECT_EQ(0, server.CountRequests("/TavUpdate.ver.sig"));
}

} // namespace
