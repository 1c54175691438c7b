#include "Process.h"
#include "Fixtures.h"
#include "UniqueHandle.h"

#include <windows.h>

#include <atomic>
#include <sstream>
#include <vector>

ProcessResult RunProcess(const std::string& commandLine, unsigned long timeoutMs) {
    static std::atomic<int> counter{0};
    const std::string outPath =
        testenv::ScratchDir() + "\\process." + std::to_string(++counter) + ".out";
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    unique_hfile out(::CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out)
        return result;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.get();
    si.hStdError = out.get();
    PROCESS_INFORMATION pi = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                          &pi))
        return result;
    result.started = true;
    unique_handle process(pi.hProcess);
    unique_handle thread(pi.hThread);
    out.reset();
    if (::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
        ::GetExitCodeProcess(process.get(), &result.exitCode);
    } else {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
    }
    result.output = testenv::ReadFile(outPath);
    return result;
}

bool RegisterModule(const std::string& path, bool unregister) {
    const ProcessResult r = RunProcess(std::string("regsvr32.exe /s ") + (unregister ? "/u " : "") +
                                       "\"" + path + "\"");
    return r.finished && r.exitCode == 0;
}

ProcessResult RunPage(const std::string& body) {
    const std::string path = testenv::NewDir("page") + "\\page.js";
    if (!testenv::WriteFile(
            path, "var o = new ActiveXObject(\"TAVWEBOMBLET.TavWebOmbletCtrl.1\");\r\n" + body))
        return ProcessResult();
    return RunProcess("cscript.exe //nologo \"" + path + "\"");
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}
