#pragma once
// What a pass that ended in the middle of its work (killed, a power cut)
// left beside the modules, finished before the pass connects, so that a pass
// that reaches no server starts nothing from a mix of two releases.
//
// The folders this is done in are those the pass knows without a server: the
// module folders of the local version list (the installed release's, for a
// signed pass), the default program's and the list's own; an elevated pass
// leaves out those the comparison would refuse (FoldersNotAdministrators). A
// journal naming anything else moves nothing.

#include "LocalModules.h"
#include "TraceBase.h"
#include "UpdateConfig.h"
#include "Win32Result.h"

struct EndedSwaps {
    // A file not put back (a program holds it): the folder holds two
    // releases until a later pass puts it back. The first one and why.
    bool mixed = false;
    std::string target;
    Win32Result error;
};

// Rolls back a journal not marked done, drops the aside copies of a done one,
// and where no journal is left puts back an installed file set aside whose
// target is missing; each traced under "RecoverEndedSwaps". The folders of
// the listed modules count too: once the server's list is read, a journal of
// a folder only it names is finished before the comparison sweeps there (a
// later swap over a journal left would make it undo the wrong files).
EndedSwaps FinishEndedSwaps(CTraceBase& trace, const UpdateConfig& config,
                            const ModuleList& listed);
