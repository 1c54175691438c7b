#pragma once
// What TavUpdate.exe is asked to do by its arguments after the configuration
// path: a pass (with its window, or unattended), or the scheduled task of
// unattended passes set or removed. Letters in any case. Pure, built
// natively as well.
//   TavUpdate.exe [<ini>]                       a pass with its window
//   TavUpdate.exe <ini> /unattended             a pass without a window
//   TavUpdate.exe <ini> /schedule [HH:MM] [/delay H]
//   TavUpdate.exe <ini> /unschedule
// A second argument other than these words is ignored, as it always was.

#include <string>

enum class UpdateCommand { Pass, Unattended, Schedule, Unschedule, Refused };

struct UpdateCommandLine {
    UpdateCommand command = UpdateCommand::Pass;
    std::string configPath; // the first argument; empty without one
    // The daily pass, local time, and the random delay after it.
    int hour = 3;
    int minute = 0;
    int delayHours = 4;
};

// The longest random delay a schedule may ask for, in hours.
const int kMaxDelayHours = 23;

// argv as the runtime split it, the program's name first. Refused: the
// words of /schedule or /unschedule are not as above.
UpdateCommandLine ParseCommandLine(int argc, const char* const* argv);
