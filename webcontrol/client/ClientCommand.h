#pragma once
// Command lines for the client program and the stored login they carry.

#include <string>

const char kClientProgram[] = "\\ombletplus.exe";
const char kUpdaterProgram[] = "\\TavUpdate.exe";
const char kUpdaterConfig[] = "\\TavUpdateInfo.ini";
const char kClientWindowTitle[] = "OmbletPlus";
const char kStopCommand[] = "/messenger /s:off";

// /messenger /s:on /user:ID:"NAME" /p:PASSWORD /msgrtitle:"TavWebOmblet"
std::string BuildStartCommand(const char* id, const char* name, const char* password);
std::string BuildJoinCommand(const char* key);

// ID, password and key stand bare on the command line and the name between
// quotes, with nothing escaped; text that could end its argument early (a
// blank, a quote, a line break, or for the name a backslash before its closing
// quote) would let a page add switches of its own, so such a command is never
// started.
bool IsBareArgumentSafe(const char* text);
bool IsQuotedArgumentSafe(const char* text);
bool CanStartWith(const char* id, const char* name, const char* password);

// Folder of the program path: everything before the last backslash, or empty.
std::string ClientDirFromPath(const std::string& programPath);

// An empty id or password keeps the stored one; an empty name becomes the
// (new) stored id.
void MergeLogin(std::string& storedId, std::string& storedName, std::string& storedPassword,
                const char* id, const char* name, const char* password);
