#pragma once
// The update window: five controls on which the engine shows its progress,
// the engine itself, and the one worker thread that runs the update pass.

#include "AULMgr.h"
#include "Dialog.h"
#include "PassExitCode.h"
#include "UniqueHandle.h"
#include "UpdateView.h"
#include "Wnd.h"

#include <atomic>
#include <string>

#define WM_START_UPDATE (WM_USER + 100)

class CUpdateDlg : public CDialog, public IUpdateView {
public:
    CUpdateDlg();
    ~CUpdateDlg() override;

    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void SetVersionTitle();

    LRESULT OnSysCommand(WPARAM nID, LPARAM lParam);
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);
    LRESULT OnStartUpdate(WPARAM wParam, LPARAM lParam);
    int RunUpdate();
    // The program's exit code, once the window has closed.
    int PassResult() const { return m_nExitCode.load(); }

    // The engine's view, called from the worker: each control message is sent
    // to this window's thread, which delivers it from its modal loop. Controls
    // whose window is gone are skipped.
    void ShowStage(int code, int lastCode, const std::string& text) override;
    void ShowFileName(const std::string& text) override;
    void ShowFileProgress(int percent, const std::string& byteCount) override;
    void ShowNothingToRun(const std::string& message) override;

    CStatic m_byteCountText;
    CStatic m_fileNameText;
    CStatic m_stageText;
    CProgressCtrl m_fileProgress;
    CProgressCtrl m_stageProgress;
    HICON m_hAppIcon;
    CAULMgr m_manager;

private:
    DECLARE_MESSAGE_MAP()

    // False while the pass runs: the request is then kept for its end.
    bool MayCloseNow();

    // The worker uses m_manager until it has posted its WM_CLOSE; the window
    // waits for it before the engine goes.
    unique_handle m_hWorker;
    std::atomic<bool> m_bPassDone{false};
    // Written by the worker before it posts its WM_CLOSE.
    std::atomic<int> m_nExitCode{EXIT_PASS_OK};
    bool m_bCloseRequested = false;
    std::string m_strTitle;
};

DWORD WINAPI UpdateThreadProc(LPVOID pParam);
