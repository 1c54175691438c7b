#pragma once
// What the transfer tests share: a downloader connected to a loopback server,
// and a recorder of what it reports as progress.

#include "NetDownLoader.h"
#include <gtest/gtest.h>
#include "Fixtures.h"
#include "TraceRecorder.h"

#include <string>
#include <vector>

struct ProgressCall {
    std::string name;
    long total;
    long done;
};

// Records every progress call of the downloader it is attached to.
class ProgressRecorder : public IDownloadProgress {
public:
    explicit ProgressRecorder(CNetDownLoader& net) : m_net(net) { m_net.m_pOwner = this; }
    ~ProgressRecorder() { m_net.m_pOwner = nullptr; }
    ProgressRecorder(const ProgressRecorder&) = delete;
    ProgressRecorder& operator=(const ProgressRecorder&) = delete;

    void ShowProgress(std::string name, DWORD total, DWORD done) override {
        calls.push_back({name, static_cast<long>(total), static_cast<long>(done)});
    }

    std::vector<ProgressCall> calls;

private:
    CNetDownLoader& m_net;
};

// Pattern bytes the scripted server sends for size=N.
std::string ScriptPattern(size_t size);

// Bytes covering CR, LF, NUL and everything above 0x7F.
std::string BinaryContent(size_t size);

// Names in a folder (no . and ..).
std::vector<std::string> ListFolder(const std::string& folder);

::testing::AssertionResult ConnectTo(CNetDownLoader& net, int protocol,
                                     const FixtureServer& server);
