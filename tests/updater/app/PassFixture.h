#pragma once
// One update pass set up on disk: a server folder, a local install folder, a
// working folder, and the configuration file for them.

#include "AppProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

const char kTitle[] = "TavUpdate ver 2.1.1.11 [TavUpdate]";

class PassFixture : public ::testing::Test {
protected:
    // Copies a built stand-in (program or library) to the path.
    static std::string Copy(const std::string& built, const std::string& to) {
        EXPECT_TRUE(::CopyFileA((testenv::BinDir() + "\\" + built).c_str(), to.c_str(), FALSE));
        return to;
    }
    std::string Installed(const std::string& name) const { return installDir + "\\" + name; }
    std::string Served(const std::string& name) const { return serverDir + "\\" + name; }

    // The server lines give the address and the login, and any further keys.
    std::string
    Config(const std::string& protocol, int port, const std::string& defaultExec = "",
           const std::string& localList = "",
           const std::string& server = "Remote Address=127.0.0.1\r\n"
                                       "Login Name=tav\r\nLogin Password=secret\r\n") const {
        return "[SERVER]\r\n" + server + "Protocol=" + protocol +
               "\r\nRemote Port=" + std::to_string(port) +
               "\r\nRemote Version File=/TavUpdate.ver\r\n[LOCAL]\r\nLocal Version File=" +
               (localList.empty() ? workDir + "\\TavUpdate.ver" : localList) +
               "\r\nDefault Exec File=" + defaultExec + "\r\n";
    }

    // The program was started once, as "<quoted path> " in its own folder.
    // The pass does not wait for the programs it starts, so the start is
    // waited for, and then a while for a wrong second one.
    void ExpectStartedOnce(const std::string& program) const {
        const std::string log = program + ".ran";
        if (WaitFor([&] { return !testenv::ReadFile(log).empty(); }, 30))
            ::Sleep(500);
        EXPECT_EQ("\"" + program + "\" |" + installDir + "\n", testenv::ReadFile(log));
    }
    // Without the administrator's policy the trace writes no log file, not
    // even in the log's own folder.
    void ExpectNoLogFiles() const {
        char logDir[MAX_PATH] = {};
        ::ExpandEnvironmentStringsA("%ProgramData%\\Tav", logDir, MAX_PATH);
        for (const std::string& dir : {workDir, installDir, testenv::BinDir(), std::string(logDir)})
            EXPECT_TRUE(testenv::ListFolder(dir, "*.log*").empty()) << dir;
    }

    std::string serverDir = testenv::NewDir("srv"), installDir = testenv::NewDir("inst"),
                workDir = testenv::NewDir("work");
    AppProcess app;
};
