#pragma once
// Runs a Windows program to its end, bounded in time, with its standard
// output captured.

#include <string>

struct ProcessResult {
    bool started = false;
    bool finished = false;
    unsigned long exitCode = 0;
    std::string output;
};

ProcessResult RunProcess(const std::string& commandLine, unsigned long timeoutMs = 120000);

#include <vector>

// Runs a JScript page body under cscript with the control created in o.
ProcessResult RunPage(const std::string& body);
// Non-empty lines of a program's output.
std::vector<std::string> SplitLines(const std::string& text);

// Registers (or removes) a self-registering module through regsvr32.
bool RegisterModule(const std::string& path, bool unregister = false);
