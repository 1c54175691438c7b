#pragma once
// The log an administrator asks for: whole lines that any number of
// processes append at once, the file moved aside once to "<name>.1" before it
// passes its cap. A line that cannot be written is dropped; nothing of the
// log ever reaches its caller.

#include "LogFolder.h"
#include "PolicyValues.h"
#include "TraceLevel.h"
#include "UniqueHandle.h"

#include <string>

// A deliverable's TraceLevel (REG_DWORD, 1 to 4) and TraceFile (REG_SZ or
// REG_EXPAND_SZ, a full path; environment variables are expanded in both, as
// ExpandLogPath does), read as MachinePolicy.h reads them. Without TraceFile
// the default path given, as it is. Level 0: no log.
struct LogPolicy {
    int level = 0;
    std::string path;
    bool named = false; // by TraceFile
};
LogPolicy ReadLogPolicy(const PolicyValue& level, const PolicyValue& file,
                        const std::string& defaultPath);

// Environment variables expanded from the system's environment in an
// elevated process (a user's own could point it anywhere), else from the
// process's own. Empty when the result would be too long.
std::string ExpandLogPath(const std::string& text);

// One owner uses it from one thread at a time.
class CLogFile {
public:
    // Missing folders above the file are made as asked. A process with
    // administrator rights in force writes only into folders only
    // administrators control; see LogFolder.h.
    explicit CLogFile(std::string path, LogFolders making = LogFolders::ForAdministrators);
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    // Local date and time to the millisecond, process and thread id, source,
    // level and the text, on one line: line breaks and other control
    // characters in the text are written as blanks.
    void Write(const char* source, int level, const std::string& text) noexcept;

private:
    // False without a file; after a refusal for good.
    bool Open();
    // False when another writer has held its turn too long.
    bool TakeTurn();
    void EndTurn();
    // False when the file was due to be moved aside and could not be.
    bool Roll();

    const std::string m_path;
    const LogFolders m_making;
    const bool m_bElevated;
    unique_hfile m_file;
    bool m_bInTurn = false;
    bool m_bRefused = false;
    bool m_bOpenFailed = false;
    unsigned long m_dwOpenFailedTick = 0;
    long long m_llNextRollTry = 0;
};
