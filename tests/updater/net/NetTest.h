#pragma once
// What the transfer tests share: a downloader connected to a loopback server,
// its traces, and what it reports as progress.

#include "Fixtures.h"
#include "NetDownLoader.h"
#include "TraceRecorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct ProgressCall {
    std::string name;
    DWORD total, done;
};

class NetTest : public ::testing::Test, public IDownloadProgress {
protected:
    NetTest() { net.SetOwner(this); }
    void ShowProgress(std::string name, DWORD total, DWORD done) override {
        progress.push_back({name, total, done});
    }
    void Connect(const FixtureServer& server, int protocol) {
        ASSERT_TRUE(server.Ok()) << server.Error();
        const bool ftp = protocol == PROTOCOL_FTP;
        ASSERT_TRUE(net.SetLoginInfo("127.0.0.1", protocol, server.Port(), ftp ? "tav" : "",
                                     ftp ? "secret" : ""));
        ASSERT_TRUE(net.Connect()) << trace.Dump();
    }

    std::string root = testenv::NewDir("server"), local = testenv::NewDir("local");
    TraceRecorder trace;
    CNetDownLoader net;
    std::vector<ProgressCall> progress;
};
