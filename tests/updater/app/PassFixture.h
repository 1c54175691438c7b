#pragma once
// One update pass set up on disk: a server folder with modules, a local
// install folder, a working folder, and the configuration file for them.

#include "AppProcess.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <string>

const char kTitle[] = "TavUpdate ver 2.1.1.11 [TavUpdate]";
const char kNothingToRun[] = "ERROR, 실행할 모듈도  기본 실행 파일도 없습니다";
const char kLaunchStage[] = "프로그램을 실행합니다.";

class PassFixture : public ::testing::Test {
protected:
    PassFixture() {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        serverDir = testenv::NewDir(name + "_srv");
        installDir = testenv::NewDir(name + "_inst");
        workDir = testenv::NewDir(name + "_work");
    }

    // Copies a built fixture program or library into the server folder.
    std::string ServeFixture(const std::string& builtName, const std::string& servedName) {
        std::string to = serverDir + "\\" + servedName;
        ::CopyFileA((testenv::BinDir() + "\\" + builtName).c_str(), to.c_str(), FALSE);
        return to;
    }
    std::string Installed(const std::string& name) const { return installDir + "\\" + name; }

    std::string Config(const char* protocol, int port, const std::string& defaultExec) {
        return std::string("[SERVER]\r\nRemote Address=127.0.0.1\r\nProtocol=") + protocol +
               "\r\nRemote Port=" + std::to_string(port) +
               "\r\nLogin Name=tav\r\nLogin Password=secret\r\n"
               "Remote Version File=/TavUpdate.ver\r\n[LOCAL]\r\nLocal Version File=" +
               workDir + "\\TavUpdate.ver\r\nDefault Exec File=" + defaultExec + "\r\n";
    }
    void ServeVersionList(const std::string& lines) {
        ASSERT_TRUE(testenv::WriteFile(serverDir + "\\TavUpdate.ver", lines));
    }

    // Lines of the recorder's start log next to the program. The pass does
    // not wait for the programs it starts, so the first line is waited for.
    std::vector<std::string> Starts(const std::string& program) const {
        if (WaitFor([&] { return !testenv::ReadFile(program + ".ran").empty(); }, 30))
            ::Sleep(500); // room for a wrong second start to show too
        std::vector<std::string> lines;
        std::string text = testenv::ReadFile(program + ".ran");
        size_t start = 0, end;
        while ((end = text.find('\n', start)) != std::string::npos) {
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    void ExpectNoLogFiles() const {
        for (const std::string& dir : {workDir, installDir, testenv::BinDir()})
            EXPECT_TRUE(FilesMatching(dir, "*.log").empty()) << dir;
    }

    std::string serverDir, installDir, workDir;
    AppProcess app;
};
