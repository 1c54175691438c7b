#pragma once
// TavUpdateInfo.ini as the updater reads it: code page 949, CRLF line ends,
// the section and key names of its own configuration header.

#include "PackageSettings.h"

#include <string>

// False when the text is not UTF-8 or holds a character code page 949 lacks.
bool ToCodePage949(const std::string& utf8, std::string& bytes);

// The file of settings that passed CheckSettings.
std::string ConfigFileBytes(const PackageSettings& settings);
