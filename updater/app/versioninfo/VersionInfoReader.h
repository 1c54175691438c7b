#pragma once
// Reads the version resource of one file (by default the running program):
// the fixed record, the string table to use, four standard strings, and by a
// walk of the raw block every string and translation entry.

#include <windows.h>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

class CVersionInfoReader {
public:
    // A null or empty path reads the running program's own file.
    explicit CVersionInfoReader(const char* path = nullptr);
    virtual ~CVersionInfoReader();
    CVersionInfoReader(const CVersionInfoReader&) = delete;
    CVersionInfoReader& operator=(const CVersionInfoReader&) = delete;

    BOOL Load();
    BOOL GetFileVersion(WORD* major, WORD* minor, WORD* build, WORD* revision);
    BOOL GetFileDescription(std::string& description);
    BOOL QueryString(const char* name, std::string& value);

    std::unique_ptr<std::vector<std::string>> m_pStringNames;
    std::unique_ptr<std::vector<std::string>> m_pStringValues;
    std::unique_ptr<std::vector<std::string>> m_pTranslations;
    std::unique_ptr<unsigned char[]> m_pVersionData;
    DWORD m_nVersionDataSize;
    VS_FIXEDFILEINFO m_fixedInfo;
    time_t m_tFileTime;
    WORD m_wFileVersion[4];
    WORD m_wProductVersion[4];
    DWORD m_dwFileFlags;
    DWORD m_dwFileOS;
    DWORD m_dwFileType;
    DWORD m_dwFileSubtype;
    DWORD m_dwTranslation;
    std::string m_strPath;
    std::string m_strCompanyName;
    std::string m_strFileDescription;
    std::string m_strLegalCopyright;
    std::string m_strProductName;
    std::string m_strTranslationKey;

private:
    BOOL QueryFixedInfo();
    void ChooseTranslation();
    BOOL FindTranslation(const void* entries, UINT size, WORD language, BOOL allowPrimary);
    void WalkVersionBlock(std::string& tableKey, BOOL firstTableOnly,
                          std::unique_ptr<std::vector<std::string>>* names,
                          std::unique_ptr<std::vector<std::string>>* values,
                          std::unique_ptr<std::vector<std::string>>* translations);
    // Bytes of the buffer from p to its end (the zero byte after the data
    // included); 0 when p does not point into it.
    size_t BytesFrom(const void* p) const;
};

// UTF-16 to the ANSI code page; "Error" when the conversion fails.
std::string WideToNarrow(const wchar_t* text);
