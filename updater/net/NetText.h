#pragma once
// Text helpers of the downloader that need no platform call.

#include "FormatText.h"

#include <string>

// The folder a download must make sure of before it writes the local file:
// the path up to and including its last backslash. Empty when the path has no
// backslash, or begins with one (a network path): those get no folder step.
// Only the backslash separates; a forward slash is an ordinary character.
std::string LocalFolderOf(const std::string& localPath);
