#pragma once
// TavUpdate.exe's exit code: what its pass met, so a deployment tool that
// starts it and waits can tell success from failure. The first failure in
// the pass's order decides.

enum PassExitCode {
    EXIT_PASS_OK = 0,       // every selected module installed, the launch started its program
    EXIT_NO_CONFIG = 1,     // the configuration file is missing, or its Signing Key unusable
    EXIT_OTHER_PASS = 2,    // another pass on the machine still ran after ten minutes
    EXIT_NO_SERVER = 3,     // the server was not reached, or the login was refused
    EXIT_NO_LIST = 4,       // the version list was not fetched, refused, unreadable or empty
    EXIT_MODULE_FAILED = 5, // a module was not installed or not registered
    EXIT_LAUNCH_FAILED = 6, // nothing to start, or a program did not start
    EXIT_NOT_STARTED = 7,   // Windows Sockets or the pass's worker did not start
};
