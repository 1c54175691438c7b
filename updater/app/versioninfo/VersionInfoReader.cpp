#include "VersionInfoReader.h"

#include "VersionBlock.h"

#include <sys/stat.h>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

static_assert(sizeof(VS_FIXEDFILEINFO) == 52, "the fixed record is 13 double words");
static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace {

std::string NarrowFromUtf16(const char16_t* text) {
    return WideToNarrow(reinterpret_cast<const wchar_t*>(text));
}

} // namespace

std::string WideToNarrow(const wchar_t* text) {
    if (!text)
        return std::string();
    int units = static_cast<int>(wcslen(text)) + 1;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[4 * size_t(units)]);
    if (!buffer)
        return std::string();
    if (!::WideCharToMultiByte(CP_ACP, 0, text, units, buffer.get(), 2 * units,
                               nullptr, // no default character
                               nullptr))
        return "Error";
    return buffer.get();
}

CVersionInfoReader::CVersionInfoReader(const char* path)
    : m_nVersionDataSize(0), m_fixedInfo(), m_tFileTime(0), m_wFileVersion(), m_wProductVersion(),
      m_dwFileFlags(0), m_dwFileOS(0), m_dwFileType(0), m_dwFileSubtype(0), m_dwTranslation(0) {
    if (path && *path) {
        m_strPath = path;
    } else {
        char own[520] = {};
        ::GetModuleFileNameA(::GetModuleHandleA(nullptr), own, sizeof own); // 519 and the zero
        m_strPath = own;
    }
}

CVersionInfoReader::~CVersionInfoReader() = default;

size_t CVersionInfoReader::BytesFrom(const void* p) const {
    const unsigned char* begin = m_pVersionData.get();
    const unsigned char* at = static_cast<const unsigned char*>(p);
    if (!begin || at < begin || at >= begin + m_nVersionDataSize + 1)
        return 0;
    return static_cast<size_t>(begin + m_nVersionDataSize + 1 - at);
}

BOOL CVersionInfoReader::Load() {
    // A file dated exactly 1970 is still a file: only a failed _stat counts.
    struct _stat64 st;
    if (_stat64(m_strPath.c_str(), &st) != 0) {
        m_tFileTime = 0;
        return FALSE;
    }
    m_tFileTime = static_cast<time_t>(st.st_mtime);

    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(m_strPath.c_str(), &handle);
    if (size == 0 || size == MAXDWORD)
        return FALSE;
    // One zero byte past the data ends any text the platform leaves there.
    m_pVersionData.reset(new (std::nothrow) unsigned char[size_t(size) + 1]);
    if (!m_pVersionData)
        return FALSE;
    std::memset(m_pVersionData.get(), 0, size + 1);
    m_nVersionDataSize = size;
    if (!::GetFileVersionInfoA(m_strPath.c_str(), 0, size, m_pVersionData.get()))
        return FALSE;

    std::string lastTable;
    WalkVersionBlock(lastTable, FALSE, &m_pStringNames, &m_pStringValues, &m_pTranslations);

    if (!QueryFixedInfo())
        return FALSE;
    m_wFileVersion[0] = HIWORD(m_fixedInfo.dwFileVersionMS);
    m_wFileVersion[1] = LOWORD(m_fixedInfo.dwFileVersionMS);
    m_wFileVersion[2] = HIWORD(m_fixedInfo.dwFileVersionLS);
    m_wFileVersion[3] = LOWORD(m_fixedInfo.dwFileVersionLS);
    m_wProductVersion[0] = HIWORD(m_fixedInfo.dwProductVersionMS);
    m_wProductVersion[1] = LOWORD(m_fixedInfo.dwProductVersionMS);
    m_wProductVersion[2] = HIWORD(m_fixedInfo.dwProductVersionLS);
    m_wProductVersion[3] = LOWORD(m_fixedInfo.dwProductVersionLS);
    m_dwFileFlags = m_fixedInfo.dwFileFlags;
    m_dwFileOS = m_fixedInfo.dwFileOS;
    m_dwFileType = m_fixedInfo.dwFileType;
    m_dwFileSubtype = m_fixedInfo.dwFileSubtype;

    ChooseTranslation();
    QueryString("CompanyName", m_strCompanyName);
    QueryString("FileDescription", m_strFileDescription);
    QueryString("LegalCopyright", m_strLegalCopyright);
    QueryString("ProductName", m_strProductName);
    return TRUE;
}

BOOL CVersionInfoReader::GetFileVersion(WORD* major, WORD* minor, WORD* build, WORD* revision) {
    *major = m_wFileVersion[0];
    *minor = m_wFileVersion[1];
    *build = m_wFileVersion[2];
    *revision = m_wFileVersion[3];
    return TRUE;
}

BOOL CVersionInfoReader::GetFileDescription(std::string& description) {
    description = m_strFileDescription;
    return TRUE;
}

BOOL CVersionInfoReader::QueryFixedInfo() {
    std::memset(&m_fixedInfo, 0, sizeof m_fixedInfo);
    if (!m_pVersionData)
        return FALSE;
    void* fixed = nullptr;
    UINT length = 0;
    char root[] = "\\";
    BOOL ok = ::VerQueryValueA(m_pVersionData.get(), root, &fixed, &length);
    if (ok && fixed) {
        // A damaged block may hold less than a whole record before its end.
        size_t available = BytesFrom(fixed);
        if (!available)
            available = length;
        std::memcpy(&m_fixedInfo, fixed, std::min(sizeof m_fixedInfo, available));
    }
    return ok;
}

BOOL CVersionInfoReader::QueryString(const char* name, std::string& value) {
    value.clear();
    if (!m_pVersionData)
        return FALSE;
    std::string path = "\\StringFileInfo\\" + m_strTranslationKey + "\\" + name;
    std::vector<char> query(path.begin(), path.end());
    query.push_back('\0');
    void* text = nullptr;
    UINT length = 0;
    BOOL ok = ::VerQueryValueA(m_pVersionData.get(), query.data(), &text, &length);
    if (ok && text) {
        const char* begin = static_cast<const char*>(text);
        size_t available = BytesFrom(text);
        value = available ? std::string(begin, strnlen(begin, available)) : std::string(begin);
    }
    return ok;
}

BOOL CVersionInfoReader::FindTranslation(const void* entries, UINT size, WORD language,
                                         BOOL allowPrimary) {
    uint32_t entry;
    if (!versionblock::FindTranslation(static_cast<const unsigned char*>(entries), size, language,
                                       allowPrimary != FALSE, &entry))
        return FALSE;
    m_dwTranslation = entry;
    return TRUE;
}

void CVersionInfoReader::ChooseTranslation() {
    m_dwTranslation = 0;
    if (!m_pVersionData)
        return;
    void* entries = nullptr;
    UINT size = 0;
    char translation[] = "\\VarFileInfo\\Translation";
    if (::VerQueryValueA(m_pVersionData.get(), translation, &entries, &size) && entries) {
        size_t available = BytesFrom(entries);
        if (available && available < size)
            size = static_cast<UINT>(available);
        m_dwTranslation = versionblock::ChooseTranslation(
            static_cast<const unsigned char*>(entries), size, ::GetUserDefaultLangID());
    }
    m_strTranslationKey =
        versionblock::TranslationKey(LOWORD(m_dwTranslation), HIWORD(m_dwTranslation));

    std::string check;
    if (QueryString("FileVersion", check) && QueryString("FileDescription", check))
        return;
    // The translation names no table that answers: use the block's first.
    std::string firstTable;
    WalkVersionBlock(firstTable, TRUE, nullptr, nullptr, nullptr);
    unsigned long v = std::strtoul(firstTable.c_str(), nullptr, 16);
    m_dwTranslation = static_cast<DWORD>(LOWORD(v)) << 16 | HIWORD(v);
    m_strTranslationKey = versionblock::TranslationKey(HIWORD(v), LOWORD(v));
}

void CVersionInfoReader::WalkVersionBlock(std::string& tableKey, BOOL firstTableOnly,
                                          std::unique_ptr<std::vector<std::string>>* names,
                                          std::unique_ptr<std::vector<std::string>>* values,
                                          std::unique_ptr<std::vector<std::string>>* translations) {
    tableKey.clear();
    if (!m_pVersionData)
        return;
    versionblock::Lists lists;
    if (!firstTableOnly) {
        for (auto* slot : {names, values, translations})
            if (slot)
                slot->reset(new std::vector<std::string>());
        lists.names = names ? names->get() : nullptr;
        lists.values = values ? values->get() : nullptr;
        lists.translations = translations ? translations->get() : nullptr;
    }
    tableKey = versionblock::Walk(m_pVersionData.get(), m_nVersionDataSize, firstTableOnly != FALSE,
                                  NarrowFromUtf16, lists);
}
