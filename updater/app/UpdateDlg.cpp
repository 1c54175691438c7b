#include "UpdateDlg.h"

#include "AboutBox.h"
#include "VersionInfoReader.h"
#include "resource.h"

#include <cstdio>

CUpdateDlg::CUpdateDlg() : CDialog(IDD_TAVUPDATE_DIALOG, nullptr) {
    m_hAppIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CUpdateDlg::~CUpdateDlg() {
    // The worker may still be inside a stage (the window was ended without
    // its final WM_CLOSE); wait for it before the engine goes.
    if (m_hWorker)
        ::WaitForSingleObject(m_hWorker.get(), INFINITE);
    // The engine goes after this window's part of the object: it shows
    // nothing any more.
    m_manager.AttachView(nullptr);
}

// clang-format off
BEGIN_MESSAGE_MAP(CUpdateDlg)
    ON_MESSAGE(WM_SYSCOMMAND, &CUpdateDlg::OnSysCommand),
    ON_MESSAGE(WM_PAINT, &CUpdateDlg::OnPaint),
    ON_MESSAGE(WM_QUERYDRAGICON, &CUpdateDlg::OnQueryDragIcon),
    ON_MESSAGE(WM_START_UPDATE, &CUpdateDlg::OnStartUpdate),
END_MESSAGE_MAP();
// clang-format on

void CUpdateDlg::DoDataExchange() {
    DDX_Control(m_hWnd, IDC_STATIC_BYTES, m_byteCountText);
    DDX_Control(m_hWnd, IDC_STATIC_FILE, m_fileNameText);
    DDX_Control(m_hWnd, IDC_STATIC_STAGE, m_stageText);
    DDX_Control(m_hWnd, IDC_PROGRESS_FILE, m_fileProgress);
    DDX_Control(m_hWnd, IDC_PROGRESS_STAGE, m_stageProgress);
}

BOOL CUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    HMENU hSysMenu = GetSystemMenu(FALSE);
    if (hSysMenu) {
        char about[256] = {};
        ::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, about, sizeof(about));
        if (about[0]) {
            ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_SYS_ABOUT, about);
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hAppIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hAppIcon));

    SetVersionTitle();
    PostMessage(WM_START_UPDATE, 0, 0);
    return TRUE;
}

void CUpdateDlg::SetVersionTitle() {
    CVersionInfoReader reader(nullptr);
    reader.Load();

    WORD major = 0, minor = 0, build = 0, revision = 0;
    std::string description, comments;
    reader.GetFileVersion(&major, &minor, &build, &revision);
    reader.GetFileDescription(description);
    reader.QueryString("Comments", comments);

    char numbers[64];
    std::snprintf(numbers, sizeof(numbers), " ver %u.%u.%u.%u ", unsigned(major), unsigned(minor),
                  unsigned(build), unsigned(revision));
    std::string title = description + numbers;
    if (!comments.empty())
        title += "[" + comments + "]";
    m_strTitle = title;
    SetWindowText(title);
}

// A close request during the pass is kept until the worker is done, so no
// module is left half-written and the engine outlives its user.
bool CUpdateDlg::MayCloseNow() {
    if (!m_hWorker || m_bPassDone.load())
        return true;
    if (!m_bCloseRequested) {
        m_bCloseRequested = true;
        SetWindowText(m_strTitle + " - 업데이트를 마친 뒤 닫습니다...");
    }
    return false;
}

void CUpdateDlg::OnOK() {
    if (MayCloseNow())
        CDialog::OnOK();
}

void CUpdateDlg::OnCancel() {
    if (MayCloseNow())
        CDialog::OnCancel();
}

LRESULT CUpdateDlg::OnSysCommand(WPARAM nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_SYS_ABOUT) {
        CAboutBox about;
        about.DoModal();
        return 0;
    }
    return Default();
}

LRESULT CUpdateDlg::OnPaint(WPARAM, LPARAM) {
    if (!IsIconic())
        return Default();

    PAINTSTRUCT ps;
    HDC hdc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(hdc, x, y, m_hAppIcon);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

LRESULT CUpdateDlg::OnQueryDragIcon(WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>(m_hAppIcon);
}

void CUpdateDlg::ShowStage(int code, int lastCode, const std::string& text) {
    if (m_stageText.HasWindow())
        m_stageText.SetWindowText(text);
    if (m_stageProgress.HasWindow()) {
        m_stageProgress.SetRange(0, static_cast<short>(lastCode));
        m_stageProgress.SetPos(code);
    }
}

void CUpdateDlg::ShowFileName(const std::string& text) {
    if (m_fileNameText.HasWindow())
        m_fileNameText.SetWindowText(text);
}

void CUpdateDlg::ShowFileProgress(int percent, const std::string& byteCount) {
    if (m_fileProgress.HasWindow()) {
        m_fileProgress.SetRange(0, 100);
        m_fileProgress.SetPos(percent);
    }
    if (m_byteCountText.HasWindow())
        m_byteCountText.SetWindowText(byteCount);
}

// Captioned with the application's name and owned by this window, so it stays
// above it; the worker that shows it waits until the user dismisses it.
void CUpdateDlg::ShowNothingToRun(const std::string& message) {
    AfxMessageBox(message.c_str(), MB_OK, 0);
}
