#pragma once
// Making the folder chain a local file needs before it can be written.

#include "Win32Result.h"

#include <string>

// Makes the folder (a path that ends in a backslash) and every missing folder
// above it: walks up until a folder can be made, then down again, at most 20
// CreateDirectory calls. A folder that exists already costs one call. Only the
// backslash separates; a path of MAX_PATH or more fails.
Win32Result MakeFolderChain(const std::string& folder);
