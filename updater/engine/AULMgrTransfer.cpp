#include "AULMgr.h"

#include "TimeValue.h"
#include "UniqueHandle.h"

#include <cstdio>
#include <ctime>

namespace {
// Shown in the comparison trace where a time could not be had.
const char kUnknownTime[] = "unknown";

std::string ShownTime(time_t value) {
    std::string text = FormatLocalTime(value);
    return text.empty() ? kUnknownTime : text;
}

// Last-write time of the first match of the local path, if there is one.
bool LocalFileTime(const std::string& path, time_t& result) {
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA(path.c_str(), &data));
    if (!find)
        return false;
    // The same conversion as the server times, so the two compare directly.
    return TimeFromFileTime(data.ftLastWriteTime, &result);
}
} // namespace

int CAULMgr::GetVersionInfo() {
    SetStatus(STATUS_GET_VERSION);
    if (_IsSigningOn())
        return _GetSignedVersionInfo();
    const UpdateConfig& c = m_config;
    // No expected size: the version list moves no progress display.
    int ok = m_downloader.DownloadFile(c.remoteVersionFile, c.localVersionFile, 0);
    if (ok)
        Trace(TRACE_INFO, "GetVersionInfo : DownloadFile(%s->%s) OK", c.remoteVersionFile.c_str(),
              c.localVersionFile.c_str());
    else
        Trace(TRACE_ERROR, "GetVersionInfo : DownloadFile(%s->%s) ERROR",
              c.remoteVersionFile.c_str(), c.localVersionFile.c_str());
    return ok;
}

int CAULMgr::CompareVersionInfo() {
    SetStatus(STATUS_COMPARE);
    if (m_modules.empty()) {
        Trace(TRACE_ERROR, "CompareVersionInfo :  ERROR, 버전 정보가 없습니다.");
        return 0;
    }
    for (size_t i = 0; i < m_modules.size(); ++i) {
        ModuleRecord& r = *m_modules[i];
        const int number = static_cast<int>(i + 1);
        r.download = 0;
        if (HasUpdateOption(r, 'F')) {
            r.download = 1;
            Trace(TRACE_INFO,
                  "CompareVersionInfo : Module[%2d] : %s : Update Option(%s)-> will be downloded ",
                  number, r.localFile.c_str(), r.updateOption.c_str());
            continue;
        }
        if (!r.sha256.empty()) {
            _CompareModuleHash(number, r);
            continue;
        }

        time_t serverTime = 0;
        const bool haveServerTime = m_downloader.GetRemoteFileTime(r.remoteFile, &serverTime) != 0;
        time_t localTime = 0;
        const bool haveLocalTime = LocalFileTime(r.localFile, localTime);
        // Without either time there is nothing to compare: fetch the module
        // rather than keep a possibly stale copy for good.
        if (haveServerTime && haveLocalTime)
            r.download = localTime < serverTime ? 1 : 0;
        else
            r.download = 1;

        Trace(TRACE_INFO,
              "CompareVersionInfo : Module[%2d] : %s : Local Time(%s) , Server Time(%s) -> "
              "Download =%d",
              number, r.localFile.c_str(),
              haveLocalTime ? ShownTime(localTime).c_str() : kUnknownTime,
              haveServerTime ? ShownTime(serverTime).c_str() : kUnknownTime, r.download);
    }
    return 1;
}

int CAULMgr::CountModulesToUpdate() {
    int count = 0;
    for (size_t i = 0; i < m_modules.size(); ++i)
        if (m_modules[i]->download)
            ++count;
    return count;
}

int CAULMgr::DownloadNewFiles() {
    SetStatus(STATUS_DOWNLOAD);
    if (m_modules.empty()) {
        Trace(TRACE_ERROR, "DownloadNewFiles :  ERROR, 버전 정보가 없습니다.");
        return 0;
    }
    for (size_t i = 0; i < m_modules.size(); ++i) {
        const ModuleRecord& r = *m_modules[i];
        if (!r.download)
            continue;
        DWORD size = 0;
        if (!m_downloader.GetRemoteFileSize(r.remoteFile, &size)) {
            Trace(TRACE_ERROR, "DownloadNewFiles : GetRemoteFileSize(%s) ERROR",
                  r.remoteFile.c_str());
            continue;
        }
        if (r.sha256.empty() ? m_downloader.DownloadFile(r.remoteFile, r.localFile, size)
                             : _DownloadCheckedFile(r, size))
            Trace(TRACE_INFO, "DownloadNewFiles : DownloadFile(%s->%s) OK . %d Bytes",
                  r.remoteFile.c_str(), r.localFile.c_str(), static_cast<int>(size));
        else
            Trace(TRACE_ERROR, "DownloadNewFiles : DownloadFile(%s->%s) ERROR",
                  r.remoteFile.c_str(), r.localFile.c_str());
    }
    return 1;
}
