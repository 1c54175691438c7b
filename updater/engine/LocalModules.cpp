#include "LocalModules.h"

#include "LocalFolder.h"
#include "NetText.h"
#include "PartialFile.h"
#include "TimeValue.h"
#include "UniqueHandle.h"

#include <set>

std::optional<long long> LocalFileTime(const std::string& path) {
    WIN32_FIND_DATAA data;
    unique_hfind find(::FindFirstFileA(path.c_str(), &data));
    time_t value = 0;
    if (!find || !TimeFromFileTime(data.ftLastWriteTime, &value))
        return std::nullopt;
    return value;
}

std::string ShownTime(const std::optional<long long>& value, const char* unknown) {
    const std::string text = value ? FormatLocalTime(static_cast<time_t>(*value)) : "";
    return text.empty() ? unknown : text;
}

void SweepModuleFolders(const std::vector<std::unique_ptr<ModuleRecord>>& modules) {
    std::set<std::string> swept;
    for (const auto& r : modules) {
        if (swept.insert(LocalFolderOf(r->localFile)).second)
            SweepLeftovers(r->localFile);
    }
}
