// A small file's whole content, written through a partial file or read.
#include "PartialFile.h"

Win32Result ReplaceFileContent(const std::string& target, const std::string& bytes) {
    CPartialFile file;
    Win32Result result = file.Open(target);
    if (result.Ok())
        result = file.Write(bytes.data(), static_cast<DWORD>(bytes.size()));
    return result.Ok() ? file.Commit() : result;
}

Win32Result ReadWholeFile(const std::string& path, std::string& bytes, DWORD limit) {
    unique_hfile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return Win32Result::Failed("CreateFile");
    LARGE_INTEGER size = {};
    if (!::GetFileSizeEx(file.get(), &size))
        return Win32Result::Failed("GetFileSizeEx");
    if (size.QuadPart > limit)
        return Win32Result::Failed("ReadFile", ERROR_FILE_TOO_LARGE);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        !::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr))
        return Win32Result::Failed("ReadFile");
    return bytes.empty() || read == bytes.size()
               ? Win32Result()
               : Win32Result::Failed("ReadFile", ERROR_HANDLE_EOF);
}
