#pragma once
// The file a download is written to before it takes the target's place, so
// the target is either the former file or the complete new one, never a
// half-written module. Until Commit, the file is removed when this goes.

#include "UniqueHandle.h"
#include "Win32Result.h"

#include <windows.h>

#include <string>

class CPartialFile {
public:
    CPartialFile() = default;
    CPartialFile(const CPartialFile&) = delete;
    CPartialFile& operator=(const CPartialFile&) = delete;
    ~CPartialFile();

    // Fails when the target cannot be written (locked, read-only, a folder)
    // or no file can be made in its folder. A target that does not exist is
    // not created here. Partial files that an ended pass left in that folder
    // are removed first.
    Win32Result Open(const std::string& target);
    Win32Result Write(const char* data, DWORD size);
    // Flushes and closes; a failure is seen here rather than after the swap.
    Win32Result Close();
    // Puts the closed file in the target's place, keeping the installed
    // file's attributes and security.
    Win32Result Commit();

private:
    unique_hfile m_file;
    std::wstring m_strTarget; // full path
    std::wstring m_strPath;   // full path of the partial file, while it exists
};

// The target's whole content replaced by the bytes, through a partial file.
Win32Result ReplaceFileContent(const std::string& target, const std::string& bytes);
