#pragma once
// The folders above a log file, made where missing and, for an elevated
// writer, checked to be ones only administrators control: each an owner's
// folder (no link or junction), the file's own writable by nobody else. They
// stay held, so nobody can rename them away, while the file is opened or
// moved aside.

#include "UniqueHandle.h"

#include <string>
#include <vector>

// How missing folders above the file are made.
enum class LogFolders {
    ForAdministrators, // SYSTEM and Administrators alone, nothing inherited
    ForTheUser,        // the security of the folder they are made in
    NeverMade,         // the file's folder must exist
};

enum class FolderChain {
    Ready,
    Refused, // a folder others control: no log
    Failed,  // not there, or not made: tried again later
};

FolderChain HoldLogFolders(const std::string& file, LogFolders making, bool elevated,
                           std::vector<unique_hfile>& held);
