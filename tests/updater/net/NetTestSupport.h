#pragma once
// What the transfer tests share: an update manager whose downloader is
// connected to a loopback server, and a real window with the manager's three
// download controls that records what the progress display was told.

#include "AULMgr.h"
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

// A hidden window holding the file-name text, the download bar and the byte
// counter; each counter text closes one progress call.
class ProgressWindow {
public:
    explicit ProgressWindow(CAULMgr& owner);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    std::vector<ProgressCall> calls;

private:
    static LRESULT CALLBACK Record(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

    CAULMgr& m_owner;
    HWND m_hParent = nullptr;
    CStatic m_name, m_counter;
    CProgressCtrl m_bar;
    WNDPROC m_staticProc = nullptr;
    std::string m_pendingName;
};

// Pattern bytes the scripted server sends for size=N.
std::string ScriptPattern(size_t size);

// Bytes covering CR, LF, NUL and everything above 0x7F.
std::string BinaryContent(size_t size);

// Names in a folder (no . and ..).
std::vector<std::string> ListFolder(const std::string& folder);

::testing::AssertionResult ConnectTo(CNetDownLoader& net, int protocol,
                                     const FixtureServer& server);
