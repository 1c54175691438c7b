#include "FullPath.h"
#include "LogFile.h"
#include "MachinePolicy.h"

#include <windows.h>

#include <vector>

namespace {

// Far above any path; a value that is no path is not read whole.
const DWORD kMaxPathValue = 32 * 1024;

std::string Expanded(const std::string& text) {
    // The ANSI version may ask for one byte more than it reports.
    std::vector<char> out(kMaxPathValue + 2);
    const DWORD n =
        ::ExpandEnvironmentStringsA(text.c_str(), out.data(), static_cast<DWORD>(out.size() - 1));
    return n == 0 || n >= out.size() - 1 ? std::string() : std::string(out.data());
}

} // namespace

LogPolicy ReadLogPolicy(const char* key, const char* defaultPath) {
    LogPolicy policy;
    const CMachinePolicy values(key);
    DWORD level = 0;
    if (values.ReadDword("TraceLevel", level) != ERROR_SUCCESS || level < 1 || level > LOG_DETAIL)
        return policy;
    std::string path;
    if (values.ReadText("TraceFile", kMaxPathValue, path) == ERROR_SUCCESS)
        path = Expanded(path);
    if (path.empty())
        path = Expanded(defaultPath);
    char full[MAX_PATH] = {};
    // A relative name would follow the folder the program happens to start in.
    const DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (!IsFullPath(path) || n == 0 || n >= MAX_PATH)
        return policy;
    policy.level = static_cast<int>(level);
    policy.path = full;
    return policy;
}
