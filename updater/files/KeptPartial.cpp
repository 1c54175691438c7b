#include "KeptPartial.h"

#include "HeldFile.h"

#include "LocalFolder.h"
#include "PartialFile.h"
#include "TextRules.h"
#include "UniqueHandle.h"

#include <cstdio>
#include <cwchar>

namespace {

const wchar_t kPrefix[] = L"TavUpdate.";
const wchar_t kSuffix[] = L".keep";
const size_t kKeyDigits = 16;

std::wstring Widened(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

// 64-bit FNV-1a: a name, not a secret; what keeps a planted file out is the
// folder rule, which no one but the administrators may write in.
void Mix(unsigned long long& hash, const void* data, size_t size) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ULL;
    }
}

} // namespace

std::string KeptPartialKey(const std::string& target, const std::string& remotePath) {
    std::wstring full = ExtendedFullPath(target);
    if (!full.empty())
        ::CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
    unsigned long long hash = 14695981039346656037ULL;
    Mix(hash, full.data(), full.size() * sizeof(wchar_t));
    Mix(hash, "|", 1);
    Mix(hash, remotePath.data(), remotePath.size());
    char text[kKeyDigits + 1];
    std::snprintf(text, sizeof(text), "%016llx", hash);
    return text;
}

std::wstring KeptPartialName(const std::string& key, const std::string& validator) {
    if (validator.empty() || validator.size() > kMostValidatorBytes)
        return std::wstring();
    std::wstring name = kPrefix + Widened(key) + L".";
    for (unsigned char c : validator) {
        name += L"0123456789abcdef"[c >> 4];
        name += L"0123456789abcdef"[c & 15];
    }
    return name + kSuffix;
}

bool ReadKeptPartialName(const std::wstring& name, const std::string& key, std::string& validator) {
    const std::wstring head = kPrefix + Widened(key) + L".";
    const size_t suffix = wcslen(kSuffix);
    if (name.size() <= head.size() + suffix || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - suffix, suffix, kSuffix) != 0)
        return false;
    const std::wstring hex = name.substr(head.size(), name.size() - head.size() - suffix);
    // Written in lower case.
    if (hex.size() % 2 || hex.size() / 2 > kMostValidatorBytes ||
        hex.find_first_of(L"ABCDEF") != std::wstring::npos)
        return false;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
        // A header's text: nothing that would end the line it goes into.
        if (high < 0 || low < 0 || high * 16 + low < 0x20 || high * 16 + low > 0x7E)
            return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    validator = bytes;
    return true;
}

bool FindKeptPartial(const std::wstring& folder, const std::string& key, std::wstring& name,
                     std::string& validator) {
    WIN32_FIND_DATAW found;
    const std::wstring pattern = folder + kPrefix + Widened(key) + L".*" + kSuffix;
    unique_hfind kept(::FindFirstFileW(pattern.c_str(), &found));
    for (bool more = static_cast<bool>(kept); more; more = ::FindNextFileW(kept.get(), &found)) {
        if (ReadKeptPartialName(found.cFileName, key, validator)) {
            name = found.cFileName;
            return true;
        }
    }
    return false;
}

KeptPart FindKeptPart(const std::string& target, const std::string& remotePath) {
    KeptPart kept;
    const std::wstring full = ExtendedFullPath(target);
    if (full.rfind(L'\\') == std::wstring::npos)
        return kept;
    const std::wstring folder = FolderOf(full);
    std::wstring name;
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!FindKeptPartial(folder, KeptPartialKey(target, remotePath), name, kept.validator) ||
        !::GetFileAttributesExW((folder + name).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return KeptPart();
    kept.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return kept;
}

void RemoveKeptPartials(const std::wstring& folder, const std::string& key) {
    std::wstring name;
    std::string validator;
    // Each found is gone before the next is looked for.
    for (int i = 0; i < 100 && FindKeptPartial(folder, key, name, validator); ++i)
        if (!::DeleteFileW((folder + name).c_str()))
            break;
}

void SweepKeptPartials(const std::string& target, const std::set<std::string>& listedKeys) {
    const std::wstring full = ExtendedFullPath(target);
    if (full.rfind(L'\\') == std::wstring::npos)
        return;
    const std::wstring folder = FolderOf(full);
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const ULONGLONG nowTicks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const ULONGLONG keptTicks = ULONGLONG(kKeptDays) * 86400 * 10000000;
    WIN32_FIND_DATAW found;
    const std::wstring pattern = folder + kPrefix + L"*" + kSuffix;
    unique_hfind kept(::FindFirstFileW(pattern.c_str(), &found));
    for (bool more = static_cast<bool>(kept); more; more = ::FindNextFileW(kept.get(), &found)) {
        const std::wstring name = found.cFileName;
        const std::wstring head = kPrefix;
        if (name.size() < head.size() + kKeyDigits)
            continue;
        std::string key;
        for (size_t i = head.size(); i < head.size() + kKeyDigits; ++i)
            key += static_cast<char>(name[i] < 0x80 ? name[i] : '?');
        std::string validator;
        if (!ReadKeptPartialName(name, key, validator))
            continue;
        const ULONGLONG written = (ULONGLONG(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                  found.ftLastWriteTime.dwLowDateTime;
        if (!listedKeys.count(key) || written + keptTicks < nowTicks)
            ::DeleteFileW((folder + name).c_str());
    }
}

// The partial file's side of keeping (PartialFile.h).

Win32Result CPartialFile::StartOver() {
    m_nTakenOver = 0;
    LARGE_INTEGER start = {};
    if (!::SetFilePointerEx(m_file.get(), start, nullptr, FILE_BEGIN) ||
        !::SetEndOfFile(m_file.get()))
        return Win32Result::Failed("CFile::Write");
    return Win32Result();
}

Win32Result CPartialFile::Keep(const std::string& validator) {
    LARGE_INTEGER size = {};
    if (!m_file || !::GetFileSizeEx(m_file.get(), &size) || size.QuadPart == 0)
        return Win32Result::Failed("Keep", ERROR_INVALID_DATA);
    const Win32Result flushed = Flush();
    return flushed.Ok() ? KeepAs(m_file, validator) : flushed;
}

Win32Result CPartialFile::KeepClosed(const std::string& validator) {
    // Flushed when it was closed; the hold has the access to rename it.
    if (!m_held || m_bSwapped)
        return Win32Result::Failed("Keep", ERROR_INVALID_DATA);
    return KeepAs(m_held, validator);
}

Win32Result CPartialFile::KeepAs(unique_hfile& file, const std::string& validator) {
    const std::wstring name = KeptPartialName(m_strKeptKey, validator);
    if (m_strKeptKey.empty() || name.empty())
        return Win32Result::Failed("Keep", ERROR_INVALID_DATA);
    const std::wstring folder = FolderOf(m_strTarget);
    RemoveKeptPartials(folder, m_strKeptKey);
    const Win32Result renamed = RenameHeld(file.get(), folder + name);
    if (!renamed.Ok())
        return renamed;
    file.reset();
    m_strPath.clear();
    return Win32Result();
}
