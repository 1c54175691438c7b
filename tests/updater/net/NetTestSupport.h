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

// Owns a hidden top-level window on the calling thread with a file-name text,
// a download bar and a byte counter, hands them to the manager, and records
// every text set on the two static controls.
class ProgressWindow {
public:
    explicit ProgressWindow(CAULMgr& owner);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    // One entry per progress call, rebuilt from the texts in their order.
    std::vector<ProgressCall> Calls() const;
    std::string Dump() const;

private:
    static LRESULT CALLBACK Record(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

    CAULMgr& m_owner;
    HWND m_hParent = nullptr;
    CStatic m_name;
    CProgressCtrl m_bar;
    CStatic m_counter;
    WNDPROC m_staticProc = nullptr;
    std::vector<std::pair<bool, std::string>> m_texts; // (is counter, text)
};

// Pattern bytes the scripted server sends for size=N.
std::string ScriptPattern(size_t size);

// A file of the given size whose bytes cover CR, LF, NUL and everything above 0x7F.
std::string BinaryContent(size_t size);

// Names in a folder (no . and ..).
std::vector<std::string> ListFolder(const std::string& folder);

::testing::AssertionResult ConnectTo(CNetDownLoader& net, int protocol,
                                     const FixtureServer& server);
