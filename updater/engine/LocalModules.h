#pragma once
// What a pass reads of the modules' installed files before it compares them
// with the server's: their last-write times, and the folders they share,
// cleared of what ended passes left there.

#include "VersionList.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Last-write time of the first match of the local path, if there is one, in
// the same seconds as the server's times.
std::optional<long long> LocalFileTime(const std::string& path);

// A time as the comparison trace shows it; the text given when there is none.
std::string ShownTime(const std::optional<long long>& value, const char* unknown);

// Each folder that holds a listed module swept once: partial files and aside
// copies of ended passes go, an installed file a pass ended in the middle of
// a swap had set aside comes back.
void SweepModuleFolders(const std::vector<std::unique_ptr<ModuleRecord>>& modules);
