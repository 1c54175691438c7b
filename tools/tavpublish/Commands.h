#pragma once
// The commands of tavpublish and what they share: the parsed arguments and
// the small checks every command makes.

#include "Publish.h"

#include <string>
#include <vector>

struct Args {
    std::vector<std::string> positional;
    std::string key, serial, listPath, expiresDays;
    std::string store, rolloutDays, rolloutStart, nextKey, keep;
    std::string list, json, html, reportPath;
    bool noExpiry = false;
    bool blocks = false;
    bool help = false;
};

int Keygen(const Args& args);
int Build(const Args& args);
int Verify(const Args& args);
int Prune(const Args& args);
int Report(const Args& args);

// Prints "tavpublish: <message>" to stderr; returns the failing exit status.
int Fail(const std::string& message);

bool IsRegularFile(const std::string& path);

// A whole number up to 2^64 - 1, read as the list's ";serial=" is.
bool ParseSerial(const std::string& text, unsigned long long& serial);

// The list path updaters ask for: --list-path, else the list's path below the
// server folder.
bool ListPathOf(const Args& args, const std::string& folder, const std::string& list,
                std::string& listPath);

// A problem for each module that names the local file of an earlier one.
void CheckLocalFiles(const std::string& file, const std::vector<publish::ListedModule>& modules,
                     std::vector<std::string>& problems);
