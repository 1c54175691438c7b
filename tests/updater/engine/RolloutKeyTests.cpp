// Signed lists over time: staged rollouts and a change of signing key.
#include "SignedFixture.h"

#include <ctime>

namespace {

// The machine's rollout bucket, set as an administrator would (in a new
// prefix no pass has made the key yet).
void SetBucket(DWORD bucket) {
    unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tav\\TavUpdate", 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, key.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExA(key.get(), "RolloutBucket", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&bucket), sizeof(bucket)));
}

std::string UtcText(time_t at) {
    char text[32] = {};
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&at));
    return text;
}

// Faults: a desktop without a release held back; one before its turn given
// the release (or its serial kept, or an error counted); one past its turn
// still held back.
TEST_F(SignedTest, RolloutReachesEachDesktopInItsTurn) {
    const time_t start = std::time(nullptr) - 86400;
    const std::string rollout = ";rollout=" + UtcText(start) + "/4\r\n";
    SetBucket(5000); // its turn: two days after the start, tomorrow
    Publish(Head(1) + rollout + Module("a.dll", "release 1"));
    FullPass();
    EXPECT_EQ("release 1", testenv::ReadFile(local + "\\a.dll")) << trace.Dump();

    Publish(Head(2) + rollout + Module("a.dll", "release 2"));
    trace.Clear();
    FullPass();
    EXPECT_EQ("release 1", testenv::ReadFile(local + "\\a.dll"));
    EXPECT_EQ(1, KeptSerial());
    EXPECT_EQ(0, manager.FailedModules());
    EXPECT_TRUE(trace.Has(2,
                          "GetVersionInfo : rollout of serial 2 reaches this desktop at " +
                              UtcText(start + 2 * 86400),
                          true))
        << trace.Dump();
    EXPECT_EQ(1, server.CountRequests("/a.dll"));

    SetBucket(1000); // its turn: 0.4 days after the start, passed
    FullPass();
    EXPECT_EQ("release 2", testenv::ReadFile(local + "\\a.dll")) << trace.Dump();
    EXPECT_EQ(2, KeptSerial());
    ::RegDeleteValueA(SerialKey(KEY_SET_VALUE).get(), "RolloutBucket");
}

// Fault: a desktop held back not starting its installed client when the
// list forces it (a forced module is not hashed in the comparison).
TEST_F(SignedTest, HeldBackDesktopStartsItsInstalledForcedClient) {
    const std::string client = local + "\\client.exe";
    const std::string program = testenv::ReadFile(testenv::BinDir() + "\\app_fixture_recorder.exe");
    Publish(Head(1) + Module("client.exe", program, "EF"));
    FullPass();
    SetBucket(0);
    const std::string rollout = ";rollout=" + UtcText(std::time(nullptr) + 86400) + "/1\r\n";
    Publish(Head(2) + rollout + Module("client.exe", program, "EF") + Module("b.dll", "b"));
    trace.Clear();
    FullPass();
    EXPECT_TRUE(trace.Has(3, "LaunchModule : _ExecuteApp(" + client + ") OK")) << trace.Dump();
    EXPECT_EQ(0, server.CountRequests("/b.dll"));
    ::RegDeleteValueA(SerialKey(KEY_SET_VALUE).get(), "RolloutBucket");
}

// Faults: a list signed by a key nobody announced taken; the announced key
// not trusted, so the switch to it is refused; the retired key still taken
// after the switch.
TEST_F(SignedTest, AnnouncedKeyTakesOverAndTheOldOneRetires) {
    const Key next("next", 2048), stranger("stranger", 2048);
    const struct {
        const char* step;
        std::string head;
        const Key* signer;
        bool taken;
    } steps[] = {{"unannounced", Head(1), &stranger, false},
                 {"announce", Head(2) + ";next-key=" + next.value + "\r\n", s_key, true},
                 {"switch", Head(3), &next, true},
                 {"retired", Head(4), s_key, false},
                 {"after", Head(4), &next, true}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        Publish(s.head + Module("a.dll", s.step), s.signer);
        trace.Clear();
        EXPECT_EQ(s.taken, Pass()) << trace.Dump();
        manager.EndPass();
    }
    EXPECT_EQ(std::string("after"), testenv::ReadFile(local + "\\a.dll"));
}

// Fault: a switch whose release did not go in retired the key the installed
// list is signed with, so the installed client no longer started.
TEST_F(SignedTest, SwitchWhoseReleaseFailedStillStartsTheInstalledClient) {
    const Key next("next", 2048);
    const std::string client = local + "\\client.exe";
    const std::string program = testenv::ReadFile(testenv::BinDir() + "\\app_fixture_recorder.exe");
    Publish(Head(1) + ";next-key=" + next.value + "\r\n" + Module("client.exe", program, "E"));
    FullPass();
    Publish(Head(2) + Module("client.exe", program, "E") + Module("b.dll", "b"), &next);
    ASSERT_TRUE(testenv::WriteFile(root + "\\b.dll", "not what the list says"));
    FullPass();
    trace.Clear();
    FullPass(); // the keys as the failed switch left them
    EXPECT_TRUE(trace.Has(3, "LaunchModule : _ExecuteApp(" + client + ") OK")) << trace.Dump();
}

} // namespace
