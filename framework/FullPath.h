#pragma once
// Whether a path names its drive (C:\...) or its server and share
// (\\server\share\...), either separator: never one that depends on the
// current drive or folder. Pure, built natively as well.

#include <string>

bool IsFullPath(const std::string& path);
