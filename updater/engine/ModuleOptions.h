#pragma once
// A module's option letters (F, R, E) as the pass reads them: characters of
// the ANSI code page, double-byte ones whole.

#include "VersionList.h"

#include <windows.h>

inline bool HasUpdateOption(const ModuleRecord& record, char letter) {
    return versionlist::HasOption(record.updateOption, letter,
                                  [](unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; });
}

// Registered or started: a pass that checked such a module keeps it held
// until it has been used.
inline bool IsUsedByThePass(const ModuleRecord& record) {
    return HasUpdateOption(record, 'R') || HasUpdateOption(record, 'E');
}
