#pragma once
// What a pass reads of the modules' installed files before it compares them
// with the server's: their last-write times, and the folders they share,
// cleared of what ended passes left there.

#include "VersionList.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Last-write time of the first match of the local path, if there is one, in
// the same seconds as the server's times.
std::optional<long long> LocalFileTime(const std::string& path);

// A local path as the file system reads it: full, "." and ".." resolved,
// letters in one case; two lines whose paths fold alike name one file.
std::string FoldedPath(const std::string& path);

// A time as the comparison trace shows it; the text given when there is none.
std::string ShownTime(const std::optional<long long>& value, const char* unknown);

using ModuleList = std::vector<std::unique_ptr<ModuleRecord>>;

// The folders of listed modules (as LocalFolderOf gives them) that an
// elevated updater must not work in: ones that exist and are not the
// administrators' (FolderSecurity.h), or are a link to elsewhere. None when the
// updater does not run elevated: it can write nothing its user cannot.
std::set<std::string> FoldersNotAdministrators(const ModuleList& modules);

// Each folder that holds a listed module swept once, but those left out:
// partial files and aside copies of ended passes go, an installed file a
// pass ended in the middle of a swap had set aside comes back.
void SweepModuleFolders(const ModuleList& modules, const std::set<std::string>& leftOut);
