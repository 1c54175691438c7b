#include "NetText.h"

std::string LocalFolderOf(const std::string& localPath) {
    size_t first = localPath.find('\\');
    if (first == std::string::npos || first == 0)
        return "";
    return localPath.substr(0, localPath.rfind('\\') + 1);
}
