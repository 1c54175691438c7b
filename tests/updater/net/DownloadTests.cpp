#include "NetTestSupport.h"

#include <gtest/gtest.h>

namespace {

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::WriteFile(root + "\\m.bin", BinaryContent(10000)));
        ASSERT_TRUE(testenv::WriteFile(root + "\\empty.bin", ""));
        ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server));
    }
    // Block traces of the download, in order: their byte counts.
    std::vector<long> Blocks() const {
        std::vector<long> counts;
        for (const auto& text : trace.Texts(4)) {
            size_t colon = text.rfind("] : ");
            if (text.find(" : InternetReadFile[") != std::string::npos &&
                colon != std::string::npos)
                counts.push_back(std::atol(text.c_str() + colon + 4));
        }
        return counts;
    }

    std::string root = testenv::NewDir("www");
    FixtureServer server = FixtureServer::Nginx(root);
    std::string local = testenv::NewDir("local");
    TraceRecorder trace;
    CAULMgr owner;
    CNetDownLoader& net = owner.m_downloader;
    ProgressWindow window{owner};
};

// One call per block before its write: the local path first, then empty names,
// the total as given, the bytes so far.
TEST_F(DownloadTest, ProgressFollowsTheBlocks) {
    std::string target = local + "\\m.bin";
    ASSERT_TRUE(net.DownloadFile("/m.bin", target, 10000)) << trace.Dump();
    std::vector<ProgressCall> calls = window.Calls();
    std::vector<long> blocks = Blocks();
    ASSERT_FALSE(blocks.empty());
    ASSERT_EQ(blocks.size(), calls.size()) << window.Dump() << trace.Dump();
    long sum = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        sum += blocks[i];
        EXPECT_LE(blocks[i], 4096);
        EXPECT_EQ(i == 0 ? target : "", calls[i].name) << i;
        EXPECT_EQ(10000, calls[i].total) << i;
        EXPECT_EQ(sum, calls[i].done) << i;
    }
    EXPECT_EQ(10000, sum);
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(target));
    std::string context = "DownloadFile(/m.bin->" + target + ")";
    EXPECT_TRUE(trace.Has(3, context + " : Local File open OK : " + target));
    EXPECT_TRUE(trace.Has(3, context + " : Download complete : /m.bin -> " + target));
    EXPECT_TRUE(trace.Has(4, context + " : InternetReadFile[  1] : " + std::to_string(blocks[0]) +
                                 " bytes"))
        << trace.Dump();
}

TEST_F(DownloadTest, NoProgressWithoutExpectedSizeOrData) {
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\list.txt", 0)) << trace.Dump();
    EXPECT_FALSE(Blocks().empty());
    ASSERT_TRUE(testenv::WriteFile(local + "\\empty.bin", "former"));
    ASSERT_TRUE(net.DownloadFile("/empty.bin", local + "\\empty.bin", 0)) << trace.Dump();
    EXPECT_TRUE(window.Calls().empty()) << window.Dump();
    EXPECT_TRUE(testenv::FileExists(local + "\\empty.bin"));
    EXPECT_EQ("", testenv::ReadFile(local + "\\empty.bin"));
}

// More data than announced is accepted; the sum then runs past the total.
TEST_F(DownloadTest, MoreThanAnnouncedIsAccepted) {
    ASSERT_TRUE(net.DownloadFile("/m.bin", local + "\\m.bin", 5000)) << trace.Dump();
    std::vector<ProgressCall> calls = window.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(5000, calls.back().total);
    EXPECT_EQ(10000, calls.back().done);
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(local + "\\m.bin"));
}

TEST_F(DownloadTest, MissingFolderChainIsCreated) {
    std::string target = local + "\\Program\\Client\\bin\\x.dll";
    ASSERT_TRUE(net.DownloadFile("/m.bin", target, 0)) << trace.Dump();
    EXPECT_TRUE(BinaryContent(10000) == testenv::ReadFile(target));
}

// Twenty directory calls: nine missing levels fit, ten do not.
TEST_F(DownloadTest, FolderChainIsBoundedToNineMissingLevels) {
    std::string nine = local + "\\1\\2\\3\\4\\5\\6\\7\\8\\9\\";
    EXPECT_TRUE(net._CreateLocalFolder(nine.c_str()));
    EXPECT_TRUE(testenv::FileExists(nine));
    EXPECT_TRUE(net._CreateLocalFolder(nine.c_str()));

    std::string ten = local + "\\a\\b\\c\\d\\e\\f\\g\\h\\i\\j\\";
    std::string target = ten + "x.dll";
    EXPECT_EQ(0, net.DownloadFile("/m.bin", target, 0));
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/m.bin->" + target +
                                 ") : ERROR, could not create local folder(" + ten + ")"))
        << trace.Dump();
    EXPECT_FALSE(testenv::FileExists(target));
}

TEST_F(DownloadTest, FolderPathLongerThanTheBufferFails) {
    std::string folder = local + "\\" + std::string(300 - local.size(), 'f') + "\\";
    std::string target = folder + "x.dll";
    EXPECT_EQ(0, net.DownloadFile("/m.bin", target, 0));
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/m.bin->" + target +
                                 ") : ERROR, could not create local folder(" + folder + ")"));
    // 260 characters leave no room for the terminator.
    std::string edge = local + "\\" + std::string(258 - local.size(), 'g') + "\\";
    ASSERT_EQ(260u, edge.size());
    EXPECT_EQ(0, net._CreateLocalFolder(edge.c_str()));
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

// A target that another program holds stays as it was, with no leftover.
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
    EXPECT_TRUE(trace.HasPrefix(1, "ERROR : Function(MoveFileEx) failed , EC=")) << trace.Dump();
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/m.bin->" + target +
                                 ") : ERROR, could not replace local file(" + target + ")"));
}

TEST_F(DownloadTest, LockedTargetFailsBeforeAnyRead) {
    std::string target = local + "\\locked.dll";
    ASSERT_TRUE(testenv::WriteFile(target, "former"));
    HANDLE locked = ::CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    int ok = net.DownloadFile("/m.bin", target, 10000);
    ::CloseHandle(locked);
    EXPECT_EQ(0, ok);
    EXPECT_EQ("former", testenv::ReadFile(target));
    EXPECT_TRUE(trace.HasPrefix(1, "ERROR : Function(CFile::Open) failed , EC=")) << trace.Dump();
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/m.bin->" + target +
                                 ") : ERROR, could not create(open) local file(" + target + ")"));
    // Nothing was read, so the response is still there for the next try.
    EXPECT_EQ("/m.bin", net.m_strOpenedRemoteFile);
    EXPECT_TRUE(window.Calls().empty());
}

class BrokenTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::WriteFile(target, "former module"));
        net.SetTimeout(3);
        ASSERT_TRUE(ConnectTo(net, PROTOCOL_HTTP, server));
    }
    void ExpectFormerFileKept() {
        EXPECT_EQ("former module", testenv::ReadFile(target));
        EXPECT_EQ(std::vector<std::string>{"m.dll"}, ListFolder(local));
        for (const auto& text : trace.Texts(3))
            EXPECT_EQ(std::string::npos, text.find(" : Download complete : ")) << text;
    }

    std::string root = testenv::NewDir("script");
    FixtureServer server = FixtureServer::Script(root);
    std::string local = testenv::NewDir("local");
    std::string target = local + "\\m.dll";
    TraceRecorder trace;
    CAULMgr owner;
    CNetDownLoader& net = owner.m_downloader;
};

TEST_F(BrokenTransferTest, ResetMidBodyKeepsTheFormerFile) {
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&drop=6000", target, 20000)) << trace.Dump();
    ExpectFormerFileKept();
    // Read from, the response is dropped: the next download asks again.
    EXPECT_EQ(nullptr, net.m_hRemoteFile);
}

// An orderly close before the announced length looks like the end of the data.
TEST_F(BrokenTransferTest, EarlyEndIsNotACompleteDownload) {
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&cut=6000", target, 20000));
    EXPECT_TRUE(trace.Has(1, "DownloadFile(/m?size=20000&cut=6000->" + target +
                                 ") : ERROR, remote data ended early : 6000 of 20000 bytes"))
        << trace.Dump();
    ExpectFormerFileKept();
}

// Without an expected size (the version list) the response's length decides.
TEST_F(BrokenTransferTest, EarlyEndWithoutExpectedSizeFailsToo) {
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&cut=6000", target, 0));
    ExpectFormerFileKept();
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&drop=6000", target, 0));
    ExpectFormerFileKept();
}

TEST_F(BrokenTransferTest, MissingTargetIsNotCreatedOnFailure) {
    std::string fresh = local + "\\new.dll";
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&cut=100", fresh, 20000));
    EXPECT_FALSE(testenv::FileExists(fresh));
}

TEST_F(BrokenTransferTest, StalledServerFailsWithinTheTimeout) {
    EXPECT_EQ(0, net.DownloadFile("/m?size=20000&stall=6000", target, 20000));
    EXPECT_TRUE(trace.HasPrefix(1, "ERROR : Function(InternetReadFile) failed , EC="))
        << trace.Dump();
    ExpectFormerFileKept();
}

} // namespace
