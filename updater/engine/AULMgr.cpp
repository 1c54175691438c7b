#include "AULMgr.h"

#include "AppName.h"

#include <cstdio>
#include <cstring>

namespace {
const char* const kStatusTexts[] = {
    "초기화 합니다.",
    "설정파일을 읽어드립니다.",
    "업데이트 서버에 접속합니다.",
    "버전 정보를 가져옵니다.",
    "버전 정보를 분석합니다.",
    "업데이트된 파일(들)을 다운로드 합니다.",
    "업데이트된 파일(들)을 등록합니다.",
    "프로그램을 실행합니다.",
    "업데이트를 마칩니다.",
};

bool HasWindow(const CWnd* control) {
    return control && control->HasWindow();
}
} // namespace

bool HasUpdateOption(const ModuleRecord& record, char letter) {
    return versionlist::HasOption(record.updateOption, letter,
                                  [](unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; });
}

const char* StatusText(int code) {
    if (code < STATUS_INIT || code > STATUS_FINISH)
        return "";
    return kStatusTexts[code];
}

CAULMgr::CAULMgr()
    : m_nStatus(STATUS_INIT), m_pStageProgress(nullptr), m_pFileProgress(nullptr),
      m_pStageText(nullptr), m_pFileNameText(nullptr), m_pByteCountText(nullptr) {
    m_nTraceLevel = 0;
    strcpy(m_szClassName, "CAULMgr");
    char logName[MAX_PATH];
    snprintf(logName, sizeof(logName), "%s.log", AfxGetAppName().c_str());
    OpenLog(logName);
    SetStatus(STATUS_INIT);
    m_downloader.m_pOwner = this;
}

CAULMgr::~CAULMgr() {
    SetStatus(STATUS_FINISH);
    ClearModules();
}

void CAULMgr::WriteTrace(int level, const char* format, va_list args) {
    CTraceBase::WriteTrace(level, format, args);
}

void CAULMgr::ClearModules() {
    while (!m_modules.empty())
        m_modules.pop_back();
}

void CAULMgr::AttachControls(CProgressCtrl* stageProgress, CStatic* stageText,
                             CProgressCtrl* fileProgress, CStatic* fileNameText,
                             CStatic* byteCountText) {
    m_pStageProgress = stageProgress;
    m_pStageText = stageText;
    m_pFileProgress = fileProgress;
    m_pFileNameText = fileNameText;
    m_pByteCountText = byteCountText;
}

void CAULMgr::SetStatus(int code) {
    m_nStatus = code;
    if (HasWindow(m_pStageText))
        m_pStageText->SetWindowText(StatusText(code));
    if (HasWindow(m_pStageProgress)) {
        m_pStageProgress->SetRange(0, STATUS_FINISH);
        m_pStageProgress->SetPos(code);
    }
}

void CAULMgr::ShowProgress(std::string name, DWORD total, DWORD done) {
    // 64-bit product: done * 100 must not wrap for large files. A server that
    // sends more than it announced keeps the bar full.
    unsigned long long percent = total ? static_cast<unsigned long long>(done) * 100 / total : 0;
    if (percent > 100)
        percent = 100;
    if (!m_progressThrottle.ShouldShow(AreControlsOnThisThread(), !name.empty(),
                                       static_cast<int>(percent), done, total, ::GetTickCount()))
        return;

    // With an empty name the text of the file's first block stays.
    if (HasWindow(m_pFileNameText) && !name.empty())
        m_pFileNameText->SetWindowText("Downloading... " + name);
    if (HasWindow(m_pFileProgress)) {
        m_pFileProgress->SetRange(0, 100);
        m_pFileProgress->SetPos(static_cast<int>(percent));
    }
    // Unsigned: a file past 2 GiB must not show negative counts.
    char text[32];
    snprintf(text, sizeof(text), "[%10u/%10u]", static_cast<unsigned>(done),
             static_cast<unsigned>(total));
    if (HasWindow(m_pByteCountText))
        m_pByteCountText->SetWindowText(text);
}

// Without a window there is nothing to wait for either.
bool CAULMgr::AreControlsOnThisThread() const {
    const CWnd* control =
        m_pByteCountText ? static_cast<const CWnd*>(m_pByteCountText) : m_pFileProgress;
    return !HasWindow(control) ||
           ::GetWindowThreadProcessId(control->GetSafeHwnd(), nullptr) == ::GetCurrentThreadId();
}
