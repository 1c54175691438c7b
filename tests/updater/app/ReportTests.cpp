// The pass report as it lands in nginx's access log.
#include "PassExitCode.h"
#include "PassFixture.h"
#include "UniqueHandle.h"

#include <map>
#include <sstream>

namespace {

// A value under HKLM\SOFTWARE\Tav\TavUpdate (32-bit view), as text; empty
// when there is none.
std::string MachineValue(const char* name) {
    unique_hkey key;
    char data[128] = {};
    DWORD type = 0, size = sizeof(data) - 1;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tav\\TavUpdate", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_32KEY, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
        return "";
    return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : data;
}

// The query fields of the log's report lines, one map a line.
std::vector<std::map<std::string, std::string>> Reports(const std::string& log) {
    std::vector<std::map<std::string, std::string>> reports;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const size_t start = line.find("\"GET /report?");
        if (start == std::string::npos)
            continue;
        std::istringstream query(line.substr(start + 13, line.find(' ', start + 5) - start - 13));
        std::map<std::string, std::string>& fields = reports.emplace_back();
        for (std::string field; std::getline(query, field, '&');)
            fields[field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
    }
    return reports;
}

// Three passes: one that installs a module, one whose second module the
// server lacks, one without the key. Faults: no report or two for a pass, a
// field wrong or missing, another desktop id the next time, a report without
// the key, the report changing the exit code.
TEST_F(PassFixture, ReportOfEveryPassInTheServersLogOnlyWithTheKey) {
    FixtureServer server = FixtureServer::Nginx(serverDir);
    ASSERT_TRUE(server.Ok()) << server.Error();
    const std::string module = Copy("app_fixture_recorder.exe", Served("listed.exe"));
    const std::string listed = Installed("listed.exe") + " | /listed.exe | E\r\n";
    const std::string ini = workDir + "\\pass.ini";
    const std::string base = Config("HTTP", server.Port(), "", "", "Remote Address=127.0.0.1\r\n");
    const std::string report =
        "[REPORT]\r\nReport URL=http://127.0.0.1:" + std::to_string(server.Port()) + "/report\r\n";
    struct {
        std::string list, config;
        int exitCode;
    } const passes[] = {
        {listed, base + report, EXIT_PASS_OK},
        {listed + Installed("gone.dll") + " | /gone.dll\r\n", base + report, EXIT_MODULE_FAILED},
        {listed, base, EXIT_PASS_OK}};
    for (const auto& pass : passes) {
        ASSERT_TRUE(testenv::WriteFile(Served("TavUpdate.ver"), pass.list));
        ASSERT_TRUE(testenv::WriteFile(ini, pass.config));
        ASSERT_TRUE(app.Start(workDir, ini));
        EXPECT_EQ(pass.exitCode, app.ExitCode(90));
    }

    const std::string log = testenv::ReadFile(server.LogPath());
    const auto reports = Reports(log);
    ASSERT_EQ(2u, reports.size()) << log;
    const std::string id = MachineValue("DesktopId");
    ASSERT_EQ(32u, id.size());
    std::map<std::string, std::string> expected = {
        {"d", id},
        {"x", "0"},
        {"s", ""},
        {"l", "%2FTavUpdate.ver"},
        {"b", MachineValue("RolloutBucket")},
        {"f", "1"},
        {"e", "0"},
        {"n", std::to_string(testenv::ReadFile(module).size())},
        {"v", "2.1.1.11"},
        {"u", "0"},
        {"r", "127.0.0.1"}};
    for (const auto& [report, exitCode, fetched, failed, bytes] :
         {std::make_tuple(reports[0], "0", "1", "0", expected["n"]),
          std::make_tuple(reports[1], "5", "0", "1", std::string("0"))}) {
        expected["x"] = exitCode;
        expected["f"] = fetched;
        expected["e"] = failed;
        expected["n"] = bytes;
        for (const auto& [name, value] : expected)
            EXPECT_EQ(value, report.count(name) ? report.at(name) : "(none)") << name;
        ASSERT_TRUE(report.count("t"));
        EXPECT_LE(std::stoi(report.at("t")), 90);
        EXPECT_EQ(12u, report.size());
    }
    // For tavpublish report, run over it by the next test (not named *.log:
    // the passes check that no log file appears beside them).
    ASSERT_TRUE(testenv::WriteFile(testenv::BinDir() + "\\pass-report.access", log));
}

} // namespace
