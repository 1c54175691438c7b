#pragma once
// Releases kept by content: each module at a path that names its SHA-256, so
// a cache may keep a stored module for ever, and every published list kept
// under its serial, so the modules the recent lists name can be told apart
// from those no updater asks for any more.

#include <string>
#include <utility>
#include <vector>

namespace store {

// The remote path of a stored module: the digest as a folder of its own
// before the name, which stays last ("/app/a.dll" -> "/app/<sha256>/a.dll").
std::string StoredRemotePath(const std::string& remote, const std::string& sha256);

// Copies the file to the stored path, making its folders. A file already
// there is left as it is when it has the digest, refused when not: a stored
// file is never rewritten. The copy is flushed and appears whole.
bool StoreFile(const std::string& source, const std::string& stored, const std::string& sha256,
               std::string& error);

// The same for bytes held in memory (a block map), by their digest.
bool StoreBytes(const std::string& bytes, const std::string& stored, const std::string& sha256,
                std::string& error);

// The kept copies of a list: "<list>.<serial>" beside it, newest first.
struct KeptList {
    unsigned long long serial;
    std::string path;
};
std::vector<KeptList> KeptLists(const std::string& list);

// Writes a new file whole; false when it exists already.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error);

// True for a file the store wrote: its folder's name is a SHA-256.
bool IsStoredPath(const std::string& path);

} // namespace store
