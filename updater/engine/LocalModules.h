#pragma once
// What a pass reads of the modules' installed files before it compares them
// with the server's: their last-write times, and the folders they share,
// cleared of what ended passes left there.

#include "UniqueHandle.h"
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

// The folder a module's file lies in as the file system reads it: the full
// path up to and including its last backslash, also for a bare name or one
// that begins with a backslash. What refusals and sweeps go by; empty when the
// path cannot be made full.
std::string ModuleFolder(const std::string& localPath);

// The folders of listed modules (as ModuleFolder gives them) that an elevated
// updater must not work in. Every folder from the root down must be a real
// folder (no link) owned by the administrators (FolderSecurity.h); the
// module's own folder, or where it does not exist yet the nearest one above
// it that does, must also be writable by nobody else. The folders walked are
// left open in held, so that nobody can rename or delete them, and so swap
// them for a link, until the pass lets go of them. None when the updater does
// not run elevated: it can write nothing its user cannot.
std::set<std::string> FoldersNotAdministrators(const ModuleList& modules,
                                               std::vector<unique_hfile>& held);

// Each folder that holds a listed module swept once, but those left out:
// partial files and aside copies of ended passes go, an installed file a
// pass ended in the middle of a swap had set aside comes back, and partial
// files kept for a later pass go when no listed module of the folder (by
// local and remote path) is theirs or they are older than kKeptDays.
void SweepModuleFolders(const ModuleList& modules, const std::set<std::string>& leftOut);
