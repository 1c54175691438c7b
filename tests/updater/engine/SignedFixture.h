#pragma once
// Signed passes against nginx, with keys, signatures and digests made by
// openssl and Python (through the fixture broker), not by the updater's code.

#include "EngineTest.h"

#include <algorithm>
#include <vector>

inline std::string Broker(const std::string& line) {
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

// Where a pass keeps the serials it accepted (and, under "Installed", those
// of the releases in place): the 32-bit registry view.
inline unique_hkey SerialKey(REGSAM access, const char* subkey = "") {
    unique_hkey key;
    ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string("SOFTWARE\\Tav\\TavUpdate") + subkey).c_str(),
                    0, access | KEY_WOW64_32KEY, key.put());
    return key;
}

class SignedTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_key = new Key("publisher", 3072); }
    static void TearDownTestSuite() { delete s_key; }

    void SetUp() override {
        ASSERT_TRUE(server.Ok()) << server.Error();
        UseServer(server);
    }
    // The pass's server from now on (a 3072-bit key is longer than the
    // profile buffer of the other values).
    void UseServer(const FixtureServer& used) {
        port = used.Port();
        ASSERT_TRUE(testenv::WriteFile(
            ini, "[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=HTTP\r\nRemote Port=" +
                     std::to_string(port) +
                     "\r\nRemote Version File=/TavUpdate.ver\r\nSigning Key=" + s_key->value +
                     "\r\n[LOCAL]\r\nLocal Version File=" + list + "\r\n"));
        ASSERT_EQ(1, manager.LoadConfig(ini)) << trace.Dump();
        ASSERT_EQ(1, manager.ConnectServer()) << trace.Dump();
    }
    void TearDown() override {
        ::RegDeleteValueA(SerialKey(KEY_SET_VALUE).get(), SerialName().c_str());
        ::RegDeleteValueA(SerialKey(KEY_SET_VALUE, "\\Installed").get(), SerialName().c_str());
        ::RegDeleteValueA(SerialKey(KEY_SET_VALUE, "\\Keys").get(), SerialName().c_str());
    }

    std::string SerialName() const {
        return "HTTP 127.0.0.1:" + std::to_string(port) + " /TavUpdate.ver";
    }
    // The accepted serial, or -1 when none is kept.
    long long KeptSerial() const {
        DWORD size = 8;
        unsigned long long serial = 0;
        const LONG read =
            ::RegQueryValueExA(SerialKey(KEY_QUERY_VALUE).get(), SerialName().c_str(), nullptr,
                               nullptr, reinterpret_cast<BYTE*>(&serial), &size);
        return read == ERROR_SUCCESS ? static_cast<long long>(serial) : -1;
    }
    // A module served with this content; its list line, with its digest and
    // size unless told otherwise.
    std::string Module(const std::string& name, const std::string& content,
                       const std::string& options = "-", bool listed = true) {
        EXPECT_TRUE(testenv::WriteFile(root + "\\" + name, content));
        const std::string line = local + "\\" + name + " | /" + name + " | " + options;
        if (!listed)
            return line + "\r\n";
        return line + " | sha256=" + Broker("sha256 " + testenv::ToUnix(root + "\\" + name)) +
               " | size=" + std::to_string(content.size()) + "\r\n";
    }
    // A signed list's head: its serial and the list path it was built for.
    static std::string Head(int serial) {
        return ";serial=" + std::to_string(serial) + "\r\n;list=/TavUpdate.ver\r\n";
    }
    // Serves the list, signed with the key given (none: no signature), from
    // the folder given (none: the server's).
    void Publish(const std::string& text, const Key* key = s_key, std::string folder = "") {
        const std::string served = (folder.empty() ? root : folder) + "\\TavUpdate.ver",
                          sig = served + ".sig";
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
    // A whole pass, as the worker runs it from the list on.
    void FullPass() {
        if (Pass() && manager.CountModulesToUpdate())
            manager.RegisterModule();
        manager.LaunchModule();
        manager.EndPass();
    }
    // The local folder besides the INI file and the list with its signature:
    // modules and any
    // received file left behind.
    std::vector<std::string> Others() const {
        std::vector<std::string> names = testenv::ListFolder(local);
        for (const char* own : {"TavUpdateInfo.ini", "TavUpdate.ver", "TavUpdate.ver.sig"})
            names.erase(std::remove(names.begin(), names.end(), own), names.end());
        std::sort(names.begin(), names.end());
        return names;
    }

    static Key* s_key;
    std::string root = testenv::NewDir("signed_srv"), local = testenv::NewDir("signed_local");
    std::string list = local + "\\TavUpdate.ver", ini = local + "\\TavUpdateInfo.ini";
    FixtureServer server = FixtureServer::Nginx(root);
    int port = 0;
    TraceRecorder trace;
    CAULMgr manager;
};
