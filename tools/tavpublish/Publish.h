#pragma once
// Building and checking a version list against the server folder its remote
// paths resolve in, with the updater's own list reader.

#include "VersionList.h"

#include <string>
#include <utility>
#include <vector>

namespace publish {

// The file a remote path of the list (code page 949, as the updater reads it)
// names below the folder, as an HTTP server resolves it: by its UTF-8 name,
// percent escapes decoded; "." and empty parts are dropped, ".." goes up.
// False, with the reason, when the path leaves the folder or cannot be read.
bool ResolveRemote(const std::string& folder, const std::string& remote, std::string& path,
                   std::string& error);

// Text of the list (code page 949) as the terminal shows it, in UTF-8; a byte
// that is no character of code page 949 as "\xNN".
std::string Shown(const std::string& cp949);

// One line as the updater reads it back: the option field ("-" when the module
// has none) before the hash, the size and the block map, so readers that
// ignore those fields read it as well.
std::string ModuleLine(const ModuleRecord& record);

// The path the server gives the list file below its folder ("/" and the path
// from the folder on); false when the list lies elsewhere.
bool ListPathBelow(const std::string& folder, const std::string& list, std::string& listPath);

// The list path (UTF-8) as the list names it: in code page 949, as updaters
// read their "Remote Version File". False when it has no such form.
bool ListPathInList(const std::string& utf8, std::string& cp949);

// A moment as the list's ";expires=" writes it: "YYYY-MM-DDTHH:MM:SSZ", UTC.
std::string UtcTimeText(long long seconds);

// True when the updater reads the line back as exactly this module.
bool ReadsBackAs(const std::string& line, const ModuleRecord& record);

// Module records of a listing (UTF-8, taken into code page 949, the list's
// and the updater's) or of a list file (code page 949), with their line
// numbers. False when the file cannot be read, or a listing is not UTF-8 or
// holds a character code page 949 lacks.
struct ListedModule {
    int line;
    ModuleRecord record;
};
bool ReadModules(const std::string& path, bool utf8, std::vector<ListedModule>& modules,
                 std::vector<int>& skippedLines, std::string& error);

// Modules whose local path names the file an earlier module's names, as
// Windows resolves paths: letters in one case, "/" as "\\", empty and "."
// parts dropped, ".." going up, the dots and blanks that end a name dropped.
// Each as its line and the earlier module's line.
std::vector<std::pair<int, int>> RepeatedLocalFiles(const std::vector<ListedModule>& modules);

bool ReadFile(const std::string& path, std::string& bytes, std::string& error);
// Writes beside the target and renames it into place: the target is the old
// file or the whole new one, never a part.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error);

} // namespace publish
