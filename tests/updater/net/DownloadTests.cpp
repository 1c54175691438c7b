#include "NetTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", BinaryContent(10000)));
        ASSERT_TRUE(testenv::WriteFile(root + "\\empty.bin", ""));
        ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server));
    }
    // Byte counts of the block traces, in order.
    std::vector<long> Blocks() const {
        std::vector<long> counts;
        for (const auto& text : trace.Texts(4))
            if (text.find(" : InternetReadFile[") != std::string::npos)
                counts.push_back(std::atol(text.c_str() + text.rfind("] : ") + 4));
        return counts;
    }
    std::string FolderError(const std::string& target, const std::string& folder) const {
        return "DownloadFile(/m.bin->" + target + ") : ERROR, could not create local folder(" +
               folder + ")";
    }

    std::string root = testenv::NewDir("www");
    FixtureServer server = FixtureServer::Nginx(root);
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CNetDownLoader net;
    ProgressRecorder progress{net};
};

// One call per block before its write: the local path first, then empty names,
// the total as given, the bytes so far.
TEST_F(DownloadTest, ProgressFollowsTheBlocks) {
    std::string target = local + "\\m.bin";
    ASSERT_TRUE(net.DownloadFile("/m.bin", target, 10000)) << trace.Dump();
    std::vector<long> blocks = Blocks();
    ASSERT_FALSE(blocks.empty());
    ASSERT_EQ(blocks.size(), progress.calls.size()) << trace.Dump();
    long sum = 0;
    for (size_t i = 0; i < blocks.size(); ++i) {
        sum += blocks[i];
        EXPECT_LE(blocks[i], 4096);
        EXPECT_EQ(i == 0 ? target : "", progress.calls[i].name) << i;
        EXPECT_EQ(10000, progress.calls[i].total) << i;
        EXPECT_EQ(sum, progress.calls[i].done) << i;
    }
    EXPECT_EQ(10000, sum);
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(target));
    std::string context = "DownloadFile(/m.bin->" + target + ")";
    EXPECT_TRUE(trace.Has(3, context + " : Download complete : /m.bin -> " + target));
    EXPECT_TRUE(trace.Has(4, context + " : InternetReadFile[  1] : " + std::to_string(blocks[0]) +
                                 " bytes"))
        << trace.Dump();
}

// No call without an expected size or for an empty file; more data than
// announced is accepted, the sum then running past the total.
TEST_F(DownloadTest, ProgressOnlyWithExpectedSizeAndData) {
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\list.txt", 0)) << trace.Dump();
    ASSERT_TRUE(testenv::WriteFile(local + "\\empty.bin", "former"));
    ASSERT_TRUE(net.DownloadFile("/empty.bin", local + "\\empty.bin", 0)) << trace.Dump();
    EXPECT_TRUE(progress.calls.empty());
    EXPECT_TRUE(testenv::FileExists(local + "\\empty.bin"));
    EXPECT_EQ("", testenv::ReadFile(local + "\\empty.bin"));

    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\m.bin", 5000)) << trace.Dump();
    ASSERT_FALSE(progress.calls.empty());
    EXPECT_EQ(5000, progress.calls.back().total);
    EXPECT_EQ(10000, progress.calls.back().done);
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\m.bin"));
}

// Twenty directory calls: nine missing levels fit, ten do not; a folder that
// does not fit the 260-byte buffer (terminator included) fails.
TEST_F(DownloadTest, FolderChainIsCreatedWithinItsBounds) {
    std::string nine = local + "\\1\\2\\3\\4\\5\\6\\7\\8\\9\\";
    ASSERT_TRUE(net.DownloadFile("/m.bin", nine + "x.dll", 0)) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(nine + "x.dll"));

    std::string ten = local + "\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\";
    std::string wide = local + "\\" + std::string(258 - local.size(), 'g') + "\\";
    ASSERT_EQ(260u, wide.size());
    for (const std::string& folder : {ten, wide}) {
        EXPECT_EQ(0, net.DownloadFile("/m.bin", folder + "x.dll", 0));
        EXPECT_TRUE(trace.Has(1, FolderError(folder + "x.dll", folder))) << trace.Dump();
        EXPECT_FALSE(testenv::FileExists(folder + "x.dll"));
    }
}

TEST_F(DownloadTest, PathWithoutBackslashIsRelativeToTheCurrentFolder) {
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(local.c_str()));
    int ok = net.DownloadFile("/m.bin", "x.dll", 0);
    ::SetCurrentDirectoryA(previous);
    ASSERT_TRUE(ok) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\x.dll"));
    EXPECT_EQ(std::vector<std::string>{"x.dll"}, ListFolder(local));
}

// A target another program holds stays as it was, with no leftover.
TEST_F(DownloadTest, HeldTargetStaysAsItWas) {
    std::string target = local + "\\held.dll";
    ASSERT_TRUE(testenv::WriteFile(target, "former"));
    HANDLE held = ::CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    int ok = net.DownloadFile("/m.bin", target, 10000);
    ::CloseHandle(held);
    EXPECT_EQ(0, ok);
    EXPECT_EQ("former", testenv::ReadFile(target));
    EXPECT_EQ(std::vector<std::string>{"held.dll"}, ListFolder(local));
    EXPECT_TRUE(trace.HasPrefix(1, "ERROR : Function(ReplaceFile) failed , EC=")) << trace.Dump();
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/m.bin->" + target +
                                 ") : ERROR, could not replace local file(" + target + ")"));
}

// The partial file lies in the target's own folder however the path is
// written, also where a temporary name of the usual kind would not fit.
TEST_F(DownloadTest, PartialFileFitsBesideTheTargetHoweverThePathIsWritten) {
    std::string slashes = local + "\\slashes\\x.dll";
    for (char& c : slashes)
        if (c == '\\')
            c = '/';
    std::string deep = local + "\\" + std::string(250 - local.size(), 'd');
    ASSERT_TRUE(::CreateDirectoryA((local + "\\slashes").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA((local + "\\drive").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(deep.c_str(), nullptr));
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA((local + "\\drive").c_str()));
    const std::string driveRelative = local.substr(0, 2) + "x.dll"; // "Z:x.dll"
    const struct {
        std::string target;
        std::string folder;
    } cases[] = {{slashes, local + "\\slashes"},
                 {driveRelative, local + "\\drive"},
                 {deep + "\\x.dll", deep}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        EXPECT_EQ(1, net.DownloadFile("/m.bin", c.target, 10000)) << trace.Dump();
        EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(c.folder + "\\x.dll"));
        EXPECT_EQ(std::vector<std::string>{"x.dll"}, ListFolder(c.folder));
    }
    ::SetCurrentDirectoryA(previous);
}

// A pass that was ended half-way leaves its partial file; the next download
// into that folder clears it away.
TEST_F(DownloadTest, PartialFileOfAnEndedPassIsRemoved) {
    ASSERT_TRUE(testenv::WriteFile(local + "\\TavUpdate.1f4.7.part", "half a module"));
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\x.dll", 10000)) << trace.Dump();
    EXPECT_EQ(std::vector<std::string>{"x.dll"}, ListFolder(local));
}

// The installed file's attributes stay (a plain move gives it the new file's),
// and a program holding it for a moment only delays the swap.
TEST_F(DownloadTest, ReplacedModuleKeepsItsAttributesAndOutlastsABriefHold) {
    const std::string target = local + "\\kept.dll";
    ASSERT_TRUE(testenv::WriteFile(target, "former"));
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    ASSERT_TRUE(::SetFileAttributesA(target.c_str(), attributes));
    HANDLE held = ::CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    std::thread scanner([held] {
        ::Sleep(400);
        ::CloseHandle(held);
    });
    const int ok = net.DownloadFile("/m.bin", target, 10000);
    scanner.join();
    EXPECT_EQ(1, ok) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(target));
    EXPECT_EQ(attributes, ::GetFileAttributesA(target.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(std::vector<std::string>{"kept.dll"}, ListFolder(local));
}

// Reset mid-body, an orderly close before the announced length (with or
// without an expected size) and a stall: the former file stays, no leftover.
TEST(BrokenTransferTest, FailureKeepsTheFormerFile) {
    struct {
        const char* path;
        DWORD expected;
        const char* trace;
    } cases[] = {
        {"/m?size=20000&drop=6000", 20000, nullptr},
        {"/m?size=20000&cut=6000", 20000,
         ") : ERROR, remote data ended early : 6000 of 20000 bytes"},
        {"/m?size=20000&cut=6000", 0, nullptr},
        {"/m?size=20000&stall=6000", 20000, nullptr},
    };
    FixtureServer server = FixtureServer::Script(testenv::NewDir("script"));
    std::string local = testenv::NewDir("local");
    std::string target = local + "\\m.dll";
    TraceRecorder trace;
    CNetDownLoader net;
    net.SetTimeout(3);
    ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server));
    ASSERT_TRUE(testenv::WriteFile(target, "former module"));
    for (auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " expecting " + std::to_string(c.expected));
        trace.Clear();
        EXPECT_EQ(0, net.DownloadFile(c.path, target, c.expected)) << trace.Dump();
        EXPECT_EQ("former module", testenv::ReadFile(target));
        EXPECT_EQ(std::vector<std::string>{"m.dll"}, ListFolder(local));
        EXPECT_FALSE(trace.HasPrefix(3, "DownloadFile(" + std::string(c.path) + "->" + target +
                                            ") : Download complete : "));
        if (c.trace) {
            EXPECT_TRUE(
                trace.Has(1, "DownloadFile(" + std::string(c.path) + "->" + target + c.trace))
                << trace.Dump();
        }
        // Read from, the response is dropped: the next download asks again.
        EXPECT_EQ(nullptr, net.m_hRemoteFile);
    }
    EXPECT_TRUE(trace.HasPrefix(1, "ERROR : Function(InternetReadFile) failed , EC="))
        << trace.Dump();
    std::string fresh = local + "\\new.dll";
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&cut=100", fresh, 20000));
    EXPECT_FALSE(testenv::FileExists(fresh));
}

} // namespace
