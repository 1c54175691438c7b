#pragma once
// The file version of a Windows binary, read from its version resource
// without loading it.

#include <string>

// "a.b.c.d"; false, with the reason, when the file holds no version resource.
bool FileVersion(const std::string& path, std::string& version, std::string& error);
