#pragma once
// The block maps of the modules a list names: cut as the updater cuts its own
// copy, each chunk's SHA-256 through OpenSSL.

#include <string>

namespace blocks {

// The map of the file, as text, read in pieces (never held whole); false,
// with the reason, when the file cannot be read or needs too many chunks.
bool MapOfFile(const std::string& path, std::string& text, std::string& error);

// The remote path of a module's map: beside it, its name with ".blocks".
std::string MapRemotePath(const std::string& moduleRemote);

} // namespace blocks
