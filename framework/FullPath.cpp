#include "FullPath.h"

namespace {
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
} // namespace

bool IsFullPath(const std::string& path) {
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]))
        return true;
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1]))
        return false;
    const std::size_t share = path.find_first_of("\\/", 2);
    if (share == std::string::npos || share == 2)
        return false;
    const std::size_t rest = path.find_first_of("\\/", share + 1);
    return rest != std::string::npos && rest > share + 1;
}
