// The control's client operations against the stand-in client process.
#include "ComInit.h"
#include "OmbletClient.h"
#include "TavWebOmblet_h.h"
#include "UniqueHandle.h"
#include "WebControlTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

using namespace wctest;

namespace {

const std::string kStartLine = "start /messenger /s:on /user:";
const std::string kTitleSwitch = " /msgrtitle:\"TavWebOmblet\"";

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standIn.ok);
        client.m_strClientDir = standIn.dir;
    }

    StandIn standIn{testenv::NewDir("client")};
    COmbletClient client;
};

// Read into 128 bytes: 127 characters give the folder; more, none or no
// backslash give none, installed all the same. No key keeps the earlier one.
TEST_F(ClientTest, AppPathValuesTheFolderCannotHoldLeaveItEmptyButInstalled) {
    const std::string folder = "C:\\" + std::string(109, 'd');
    for (const std::string& value : {folder + "\\ombletplus.exe", folder + "d\\ombletplus.exe",
                                     std::string(), std::string("ombletplus.exe")}) {
        AppPathsEntry entry(value);
        EXPECT_EQ(1, client.TavOBInstalled()) << value;
        EXPECT_EQ(value.size() == 127 ? folder : "", client.m_strClientDir) << value;
    }
    client.m_strClientDir = "C:\\earlier";
    EXPECT_EQ(0, client.TavOBInstalled());
    EXPECT_EQ("C:\\earlier", client.m_strClientDir);
}

// Before TavOBInstalled the client's folder is looked up first. Without one
// (no entry, a bare file name, a relative folder) nothing starts, least of all
// a program planted at the root of the current drive (C:, from the system
// folder C:\windows\system32, which "..\..\" leads back to).
TEST_F(ClientTest, ClientWithoutAKnownFolderIsNotStartedFromAGuessedPlace) {
    ScopedFile atRoot(SystemDir().substr(0, 3) + "ombletplus.exe", standIn.Program());
    ASSERT_TRUE(atRoot.ok);
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(SystemDir().c_str()));
    StandIn::SetNoWindow(true);
    for (const char* value :
         {static_cast<const char*>(nullptr), "", "ombletplus.exe", "..\\..\\ombletplus.exe"}) {
        std::optional<AppPathsEntry> entry;
        if (value)
            entry.emplace(value);
        COmbletClient fresh;
        fresh.TavStartOmblet("kim", "Kim", "pw");
        fresh.TavStopOmblet();
        EXPECT_EQ(0, fresh.TavOpenMeetingWindow("kim", "Kim", "pw")) << (value ? value : "none");
        fresh.TavIntoMeetingRoom("kim", "Kim", "pw", "room-42");
    }
    ::SetCurrentDirectoryA(previous);
    ::Sleep(1000); // for a start that should not have happened to show
    EXPECT_EQ("", standIn.Log());
    AppPathsEntry entry(standIn.Program());
    COmbletClient().TavStartOmblet("kim", "Kim", "pw");
    EXPECT_TRUE(standIn.WaitForLine(kStartLine + "kim:\"Kim\" /p:pw" + kTitleSwitch))
        << "found through the entry: " << standIn.Log();
}

// The command line takes the arguments as given; the stored login, which the
// control's own start uses, is merged from them (empty name: the ID) after.
TEST_F(ClientTest, StartNamesTheGivenLoginAndStoresTheMergedOne) {
    StandIn::SetNoWindow(true);
    client.StoreLogin("kim", "Kim", "pw");
    client.TavStartOmblet("lee", "", "");
    ASSERT_TRUE(standIn.WaitForLine(kStartLine + "lee:\"\" /p:" + kTitleSwitch)) << standIn.Log();
    EXPECT_EQ(0, client.TavOpenMeetingWindow("", "", ""));
    EXPECT_TRUE(standIn.WaitForLine(kStartLine + "lee:\"lee\" /p:pw" + kTitleSwitch))
        << standIn.Log();
}

// A client that never opens its window is started once with the stored login,
// looked for four times and not asked to join.
TEST_F(ClientTest, ClientThatNeverOpensItsWindowIsNotJoined) {
    AppPathsEntry entry(standIn.Program());
    ASSERT_EQ(1, client.TavOBInstalled());
    StandIn::SetNoWindow(true);
    client.TavIntoMeetingRoom("kim", "", "pw", "room-42");
    EXPECT_EQ(4u, client.m_nWindowLookups);
    ::Sleep(1000); // for a start that should not have happened to show
    EXPECT_EQ(standIn.Lines(),
              std::vector<std::string>{kStartLine + "kim:\"kim\" /p:pw" + kTitleSwitch});
}

// A client just come up gets three seconds under the wait cursor (after the
// lookup at one second) before the message; a running one is sent to at once.
TEST_F(ClientTest, JustStartedClientGetsThreeSecondsUnderTheWaitCursor) {
    const HCURSOR wait = ::LoadCursor(nullptr, IDC_WAIT);
    MSG msg;
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // an input state the watcher can share
    std::atomic<HCURSOR> midway{nullptr};
    std::thread watcher([&, page = ::GetCurrentThreadId()] {
        ::AttachThreadInput(::GetCurrentThreadId(), page, TRUE);
        ::Sleep(2500);
        midway = ::GetCursor();
    });
    DWORD started = ::GetTickCount();
    EXPECT_EQ(1, client.TavOpenMeetingWindow("kim", "Kim", "pw"));
    const DWORD starting = ::GetTickCount() - started;
    watcher.join();
    EXPECT_EQ(wait, midway.load());
    EXPECT_NE(wait, ::GetCursor()) << "the cursor is restored";
    EXPECT_TRUE(starting >= 3900 && starting < 6000) << starting;
    // Found at the first look: no start, no pause, one more look for the send.
    const unsigned lookups = client.m_nWindowLookups;
    EXPECT_EQ(1, client.TavOpenMeetingWindow("kim", "Kim", "pw"));
    EXPECT_EQ(lookups + 2, client.m_nWindowLookups);
}

// A client window that reads no messages: the call gives up within its
// time-out (a send that waited for ever would end only with the client).
TEST_F(ClientTest, HungClientWindowDoesNotHoldThePage) {
    StandIn::SetHung(true);
    ASSERT_TRUE(standIn.Start());
    std::atomic<long> result{-1};
    std::thread page([&] { result = client.TavOpenP2PCall("kim", "Kim", "pw", "lee", "Lee"); });
    const bool returned = WaitFor([&] { return result != -1; }, 60);
    DWORD id = 0;
    ::GetWindowThreadProcessId(::FindWindowA(nullptr, "OmbletPlus"), &id);
    unique_handle hung(::OpenProcess(PROCESS_TERMINATE, FALSE, id));
    ::TerminateProcess(hung.get(), 1);
    page.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(0, result.load()) << "a message the client did not take is not sent";
}

TEST_F(ClientTest, LoginThatWouldAddSwitchesStartsNothing) {
    StandIn::SetNoWindow(true);
    client.TavStartOmblet("kim", "Kim", "pw /s:off");
    EXPECT_EQ(0, client.TavOpenMeetingWindow("", "", "")) << "nor as the stored login";
    EXPECT_EQ("", standIn.Log()) << "a second after the start";
}

// The key is checked before the client is started for it: a key that will
// not be joined neither starts the client nor holds the page for seconds.
TEST_F(ClientTest, ConferenceKeyThatWouldAddSwitchesDoesNotStartTheClientFirst) {
    StandIn::SetNoWindow(true);
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "k /s:off");
    client.TavIntoMeetingRoom("kim", "Kim", "pw", "k\"");
    EXPECT_EQ(0u, client.m_nWindowLookups);
    ::Sleep(1000); // for a start that should not have happened to show
    EXPECT_EQ("", standIn.Log());
}

// Page calls as the client receives them: Unicode arrives in code page 949, an
// empty list is still sent, a field holding a separator byte sends nothing.
TEST_F(ClientTest, PayloadBytesReachTheClient) {
    CComApartment com;
    com_ptr<IUnknown> control;
    ASSERT_EQ(S_OK, Module().Create(CLSID_TavWebOmblet, IID_IUnknown, control.put_void()));
    ASSERT_TRUE(standIn.Start());
    const struct {
        DISPID method;
        std::vector<std::wstring> args; // after the login
        const char* bytes;              // as logged after "copydata "; null: nothing sent
    } calls[] = {
        {6, {L"kim", L"Kim"}, "110 10 07 6B 69 6D 05 4B 69 6D 08 00"},
        {6, {L"lee", L"\uC774\uC21C\uC2E0"}, "110 13 07 6C 65 65 05 C0 CC BC F8 BD C5 08 00"},
        {6, {L"", L""}, "110 4 07 05 08 00"},
        {7, {L"a,Alice,b,Bob"}, "126 17 07 61 05 41 6C 69 63 65 15 62 05 42 6F 62 15 08 00"},
        {7, {L"a,Alice,b"}, "126 14 07 61 05 41 6C 69 63 65 15 62 05 15 08 00"},
        {7, {L""}, "126 3 07 08 00"},
        {7, {L",,,"}, "126 3 07 08 00"},
        {7, {L",a,,Alice,"}, "126 11 07 61 05 41 6C 69 63 65 15 08 00"},
        {7, {L"a, Alice"}, "126 12 07 61 05 20 41 6C 69 63 65 15 08 00"},
        {5, {}, "120 0 null"},
        {6, {L"a\x05z", L"x"}, nullptr},
        {7, {L"a,b\x15z,d"}, nullptr},
    };
    std::vector<std::string> sent;
    for (const auto& call : calls) {
        std::vector<std::wstring> args = {L"kim", L"Kim", L"pw"};
        args.insert(args.end(), call.args.begin(), call.args.end());
        EXPECT_EQ(call.bytes ? 1 : 0, CallMethod(control.get(), call.method, args));
        if (call.bytes)
            sent.push_back(std::string("copydata ") + call.bytes);
    }
    EXPECT_EQ(sent, standIn.Lines());
}

} // namespace
