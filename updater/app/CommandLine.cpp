#include "CommandLine.h"

#include <cctype>

namespace {

bool SameWord(const char* arg, const char* word) {
    for (; *arg && *word; ++arg, ++word)
        if (std::tolower(static_cast<unsigned char>(*arg)) != *word)
            return false;
    return *arg == *word;
}

// Digits only, no sign or blank, at most two.
bool SmallNumber(const std::string& text, int& value) {
    if (text.empty() || text.size() > 2)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// H:MM or HH:MM, 00:00 to 23:59.
bool ParseTime(const std::string& text, int& hour, int& minute) {
    const size_t colon = text.find(':');
    return colon != std::string::npos && text.size() - colon == 3 &&
           SmallNumber(text.substr(0, colon), hour) &&
           SmallNumber(text.substr(colon + 1), minute) && hour < 24 && minute < 60;
}

} // namespace

UpdateCommandLine ParseCommandLine(int argc, const char* const* argv) {
    UpdateCommandLine line;
    if (argc >= 2)
        line.configPath = argv[1];
    if (argc < 3)
        return line;
    const char* word = argv[2];
    if (SameWord(word, "/unattended")) {
        line.command = UpdateCommand::Unattended;
    } else if (SameWord(word, "/unschedule")) {
        line.command = argc == 3 ? UpdateCommand::Unschedule : UpdateCommand::Refused;
    } else if (SameWord(word, "/schedule")) {
        line.command = UpdateCommand::Schedule;
        int i = 3;
        if (i < argc && !SameWord(argv[i], "/delay") &&
            !ParseTime(argv[i++], line.hour, line.minute))
            line.command = UpdateCommand::Refused;
        if (i < argc &&
            (!SameWord(argv[i++], "/delay") || i == argc ||
             !SmallNumber(argv[i++], line.delayHours) || line.delayHours > kMaxDelayHours))
            line.command = UpdateCommand::Refused;
        if (i < argc)
            line.command = UpdateCommand::Refused;
    }
    return line;
}
