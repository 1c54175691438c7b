#pragma once
// The folder a local file lies in, and making the folder chain it needs
// before it can be written.

#include "Win32Result.h"

#include <string>

// Makes the folder (a path that ends in a backslash) and every missing folder
// above it: walks up until a folder can be made, then down again, at most 20
// CreateDirectory calls. A folder that exists already costs one call. Only the
// backslash separates; a path of MAX_PATH or more fails. When the process runs
// elevated, the folders it makes get a protected security descriptor of their
// own: SYSTEM and Administrators full control, Users read and execute.
Win32Result MakeFolderChain(const std::string& folder);

// The folder a download must make sure of before it writes the local file:
// the path up to and including its last backslash. Empty when the path has no
// backslash, or begins with one (a network path): those get no folder step.
// Only the backslash separates; a forward slash is an ordinary character.
std::string LocalFolderOf(const std::string& localPath);

// The path as the platform resolves it (forward slashes, a drive's own
// current folder, the process's current folder), in the extended form, so a
// partial file name fits beside a target whose folder nearly fills MAX_PATH.
// Empty when it cannot be resolved.
std::wstring ExtendedFullPath(const std::string& path);

// A full path's folder, up to and including its last backslash.
std::wstring FolderOf(const std::wstring& path);
