#pragma once
// The update manager: configuration, module list, the one downloader, the
// stage operations of a pass and the progress display on the update window.

#include "NetDownLoader.h"
#include "ProgressThrottle.h"
#include "TraceBase.h"
#include "VersionList.h"
#include "Wnd.h"

#include <memory>
#include <string>
#include <vector>

struct UpdateConfig {
    std::string remoteAddress;
    int protocol = 0;
    int remotePort = 0;
    std::string loginName;
    std::string loginPassword;
    std::string remoteVersionFile;
    std::string localVersionFile;
    std::string defaultExecFile;
    // [SERVER] "Signing Key": base64 of the publisher's RSA public key. Empty:
    // lists are not signed, and none is asked for.
    std::string signingKey;
};

// Status codes, each with its text on the stage line.
enum {
    STATUS_INIT = 0,
    STATUS_LOAD_CONFIG = 1,
    STATUS_CONNECT = 2,
    STATUS_GET_VERSION = 3,
    STATUS_COMPARE = 4,
    STATUS_DOWNLOAD = 5,
    STATUS_REGISTER = 6,
    STATUS_LAUNCH = 7,
    STATUS_FINISH = 8,
};

const char* StatusText(int code);

// The option letter in the record's option field, read in the ANSI code page.
bool HasUpdateOption(const ModuleRecord& record, char letter);

class CAULMgr : public CTraceBase, public IDownloadProgress {
public:
    CAULMgr();
    ~CAULMgr() override;
    CAULMgr(const CAULMgr&) = delete;
    CAULMgr& operator=(const CAULMgr&) = delete;

    void WriteTrace(int level, const char* format, va_list args) override;

    // The update window's five controls, before the first stage of a pass.
    void AttachControls(CProgressCtrl* stageProgress, CStatic* stageText,
                        CProgressCtrl* fileProgress, CStatic* fileNameText, CStatic* byteCountText);

    void SetStatus(int code);
    void ShowProgress(std::string name, DWORD total, DWORD done) override;

    int LoadConfig(std::string path);
    int ConnectServer();
    int GetVersionInfo();
    int ParseVersionInfo();
    int SplitList(char delimiter, std::string text, std::vector<std::string>& fields);
    int CompareVersionInfo();
    int CountModulesToUpdate();
    int DownloadNewFiles();
    int RegisterModule();
    int _RegisterControl(std::string path);
    int LaunchModule();
    int _ExecuteApp(std::string path, std::string arguments);

    // Signed lists and listed hashes.
    bool _IsSigningOn() const { return !m_config.signingKey.empty(); }
    int _GetSignedVersionInfo();
    void _AddModuleLine(const std::string& line);
    void _CompareModuleHash(int number, ModuleRecord& record);
    int _DownloadCheckedFile(const ModuleRecord& record, DWORD size);

    UpdateConfig m_config;
    // The bytes of the list whose signature a signed pass checked; the pass
    // reads its modules from these, never from the file again.
    std::string m_strVerifiedList;
    std::vector<std::unique_ptr<ModuleRecord>> m_modules;
    CNetDownLoader m_downloader;
    int m_nStatus;

    // The window's controls, attached once by the worker before its first stage.
    CProgressCtrl* m_pStageProgress;
    CProgressCtrl* m_pFileProgress;
    CStatic* m_pStageText;
    CStatic* m_pFileNameText;
    CStatic* m_pByteCountText;

private:
    void ClearModules();
    bool AreControlsOnThisThread() const;

    CProgressThrottle m_progressThrottle;
};
