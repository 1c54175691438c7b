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

// Registers (or removes) a self-registering module through regsvr32.
bool RegisterModule(const std::string& path, bool unregister = false);
