#include "Elevation.h"
#include "FullPath.h"
#include "LogFile.h"
#include "MachinePolicy.h"

#include <windows.h>
#include <userenv.h>

#include <vector>

namespace {

// Far above any path; a value that is no path is not read whole.
const DWORD kMaxPathValue = 32 * 1024;

} // namespace

std::string ExpandLogPath(const std::string& text) {
    // The ANSI versions may ask for one byte more than they report.
    std::vector<char> out(kMaxPathValue + 2);
    const DWORD room = static_cast<DWORD>(out.size() - 1);
    if (IsProcessElevated()) {
        // No token: the system's variables alone.
        if (!::ExpandEnvironmentStringsForUserA(nullptr, text.c_str(), out.data(), room))
            return std::string();
        return std::string(out.data());
    }
    const DWORD n = ::ExpandEnvironmentStringsA(text.c_str(), out.data(), room);
    return n == 0 || n >= room ? std::string() : std::string(out.data());
}

LogPolicy ReadLogPolicy(const PolicyValue& levelValue, const PolicyValue& fileValue,
                        const std::string& defaultPath) {
    LogPolicy policy;
    DWORD level = 0;
    if (!ReadPolicyDword(levelValue, level).Ok() || level < 1 || level > TRACE_DETAIL)
        return policy;
    std::string path;
    if (ReadPolicyText(fileValue, kMaxPathValue, path).Ok())
        path = ExpandLogPath(path);
    policy.named = !path.empty();
    if (path.empty())
        path = defaultPath;
    char full[MAX_PATH] = {};
    // A relative name would follow the folder the program happens to start in.
    const DWORD n = ::GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (!IsFullPath(path) || n == 0 || n >= MAX_PATH)
        return policy;
    policy.level = static_cast<int>(level);
    policy.path = full;
    return policy;
}
