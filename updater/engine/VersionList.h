#pragma once
// The version list file: "|"-separated lines of local path, remote path,
// update option letters and optional "sha256=", "size=", "blocks=" and
// "blocks-sha256=" fields, ";"
// comments, some of which say what a signed list is: its serial, the list path
// it was built for and when it expires. Pure logic, no platform calls, so it
// builds natively and under the fuzzer as well.

#include "TraceBase.h"

#include <cstdio>
#include <string>
#include <vector>

struct ModuleRecord {
    std::string localFile;
    std::string remoteFile;
    std::string updateOption;
    int download = 0;
    // The listed SHA-256 of the module, lower-case hex; empty when none.
    std::string sha256;
    // The listed size in bytes; -1 when none.
    long long size = -1;
    // The remote path of the module's block map and the map's SHA-256
    // (lower-case hex); empty when none.
    std::string blocks;
    std::string blocksSha256;
};

namespace versionlist {

// Chunk buffer of the reader: a longer line arrives as several lines.
const size_t kLineBufferSize = 1024;

// The list splitter: trims the text, splits it at the delimiter, trims each
// token and appends the non-empty ones to fields, tracing each decision at
// detail level through the owner. Returns the number of fields added.
int SplitFields(CTraceBase& owner, char delimiter, std::string text,
                std::vector<std::string>& fields);

// Reads the next chunk of at most kLineBufferSize - 1 bytes (through the line
// end when it comes first). False at the end of the file.
bool ReadLine(FILE* file, std::string& line);

// The same chunks from bytes held in memory, as a file opened in text mode
// gives them: CR LF read as LF, a Ctrl-Z ending the text. position moves on.
bool ReadTextLine(const std::string& bytes, size_t& position, std::string& line);

// A comment (";" first) or a line shorter than two bytes with its line end.
bool IsSkippedLine(const std::string& line);

// Builds a record from one line read from the file; false when the line is
// skipped (comment, empty, fewer than two fields).
bool ParseLine(CTraceBase& owner, const std::string& line, ModuleRecord& record);

// "sha256=" and 64 hexadecimal digits in either case. Such a field is never
// the option field, wherever it stands from the third field on.
bool IsHashField(const std::string& field);
// "size=" and a decimal number of at most 15 digits; never the option field either.
bool IsSizeField(const std::string& field);
// "blocks=" and a path; "blocks-sha256=" and 64 hexadecimal digits. Read from
// the fourth field on only: in the third they are the option field, as
// updaters that know no block maps read them.
bool IsBlocksField(const std::string& field);
bool IsBlocksHashField(const std::string& field);

enum SerialResult { SERIAL_MISSING, SERIAL_INVALID, SERIAL_FOUND };

// The serial of a list: the first line that begins ";serial=" counts; the rest
// of it is a decimal number up to 2^64 - 1, white space around it allowed.
SerialResult FindSerial(const std::string& listBytes, unsigned long long& serial);

// The rest of the first line that begins ";<name>=", trimmed of white space;
// false when no line does.
bool FindComment(const std::string& listBytes, const std::string& name, std::string& value);

// A moment in UTC written "YYYY-MM-DDTHH:MM:SSZ", as seconds since 1970;
// false for anything else, a date that does not exist included.
bool ParseUtcTime(const std::string& text, long long& seconds);

// The same text with blanks and tabs trimmed from both ends.
std::string TrimmedBlanks(const std::string& text);

// True when the option field holds the upper-case letter (F, R or E) as a
// character of its own. The field is read character by character, with
// double-byte characters whole: in code page 949 the second byte of 210
// Hangul syllables is an 'E', 'F' or 'R'.
bool HasOption(const std::string& updateOption, char letter, bool (*isLeadByte)(unsigned char));

} // namespace versionlist
