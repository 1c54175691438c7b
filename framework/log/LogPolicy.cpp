#include "FullPath.h"
#include "LogFile.h"

#include <windows.h>

#include <vector>

namespace {

// The machine's policy, as a 32-bit program sees it on any Windows.
const REGSAM kPolicyAccess = KEY_QUERY_VALUE | KEY_WOW64_32KEY;
// Far above any path; a value that is no path is not read whole.
const DWORD kMaxPathValue = 32 * 1024;

std::string Expanded(const std::string& text) {
    // The ANSI version may ask for one byte more than it reports.
    std::vector<char> out(kMaxPathValue + 2);
    const DWORD n =
        ::ExpandEnvironmentStringsA(text.c_str(), out.data(), static_cast<DWORD>(out.size() - 1));
    return n == 0 || n >= out.size() - 1 ? std::string() : std::string(out.data());
}

std::string PathValue(HKEY key) {
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key, "TraceFile", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxPathValue)
        return std::string();
    std::vector<char> value(size + 1, '\0'); // a stored value may lack its zero
    if (::RegQueryValueExA(key, "TraceFile", nullptr, &type, reinterpret_cast<BYTE*>(value.data()),
                           &size) != ERROR_SUCCESS)
        return std::string();
    return Expanded(value.data());
}

} // namespace

LogPolicy ReadLogPolicy(const char* key, const char* defaultPath) {
    LogPolicy policy;
    unique_hkey hkey;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, kPolicyAccess, hkey.put()) != ERROR_SUCCESS)
        return policy;
    DWORD type = 0;
    DWORD level = 0;
    DWORD size = sizeof(level);
    if (::RegQueryValueExA(hkey.get(), "TraceLevel", nullptr, &type,
                           reinterpret_cast<BYTE*>(&level), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || level < 1 || level > LOG_DETAIL)
        return policy;
    std::string path = PathValue(hkey.get());
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
