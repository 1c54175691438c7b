#include "Publish.h"

#include "NetText.h"
#include "TextConvert.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwctype>
#include <fstream>
#include <locale.h>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace publish {
namespace {
// The reader's traces go nowhere here.
class Reader : public CTraceBase {};

// Windows compares file names without letter case, non-ASCII letters too
// (full-width Latin, Greek and Cyrillic ones are in code page 949).
std::u32string FoldedCase(const std::string& cp949) {
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    std::string utf32;
    size_t failedAt = 0;
    std::u32string text;
    if (ConvertText(cp949, "CP949", "UTF-32LE", utf32, failedAt)) {
        for (size_t i = 0; i + 4 <= utf32.size(); i += 4)
            text += static_cast<char32_t>(static_cast<unsigned char>(utf32[i]) |
                                          static_cast<unsigned char>(utf32[i + 1]) << 8 |
                                          static_cast<unsigned char>(utf32[i + 2]) << 16 |
                                          static_cast<unsigned char>(utf32[i + 3]) << 24);
    } else {
        for (unsigned char c : cp949) // not code page 949: the bytes as they are
            text += c;
    }
    for (char32_t& c : text)
        c = unicode ? ::towlower_l(c, unicode) : (c < 128 ? std::tolower(c) : c);
    return text;
}

// The local path as Windows resolves it, in one letter case.
std::u32string LocalFileKey(const std::string& localFile) {
    const std::u32string text = FoldedCase(localFile);
    std::vector<std::u32string> parts;
    std::u32string part;
    const bool rooted = !text.empty() && (text[0] == U'\\' || text[0] == U'/' ||
                                          (text.size() > 1 && text[1] == U':'));
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != U'\\' && text[i] != U'/') {
            part += text[i];
            continue;
        }
        if (part == U"..") {
            // Nothing goes above a drive or the root.
            if (!parts.empty() && parts.back() != U".." &&
                !(rooted && parts.size() == 1 && parts[0].back() == U':'))
                parts.pop_back();
            else if (!rooted)
                parts.push_back(part);
        } else if (part != U".") {
            while (!part.empty() && (part.back() == U'.' || part.back() == U' '))
                part.pop_back();
            if (!part.empty())
                parts.push_back(part);
        }
        part.clear();
    }
    std::u32string key = text.empty() || (text[0] != U'\\' && text[0] != U'/') ? U"" : U"\\";
    for (const std::u32string& p : parts)
        key += p + U"\\";
    return key;
}

} // namespace

std::vector<std::pair<int, int>> RepeatedLocalFiles(const std::vector<ListedModule>& modules) {
    std::vector<std::pair<int, int>> repeated;
    std::map<std::u32string, int> first;
    for (const ListedModule& m : modules) {
        const auto seen = first.emplace(LocalFileKey(m.record.localFile), m.line);
        if (!seen.second)
            repeated.emplace_back(m.line, seen.first->second);
    }
    return repeated;
}

std::string Shown(const std::string& cp949) {
    std::string shown, part;
    size_t failedAt = 0;
    for (size_t from = 0; from < cp949.size(); from += failedAt + 1) {
        part.clear();
        if (ConvertText(cp949.substr(from), "CP949", "UTF-8", part, failedAt)) {
            shown += part;
            break;
        }
        char escape[8];
        std::snprintf(escape, sizeof(escape), "\\x%02X",
                      static_cast<unsigned char>(cp949[from + failedAt]));
        shown += part + escape;
    }
    return shown;
}

bool ResolveRemote(const std::string& folder, const std::string& remote, std::string& path,
                   std::string& error) {
    std::string utf8, name;
    size_t failedAt = 0;
    if (!ConvertText(remote, "CP949", "UTF-8", utf8, failedAt) || !PercentDecode(utf8, name)) {
        error = Shown(remote) + ": not a path in code page 949 with whole percent escapes";
        return false;
    }
    std::vector<std::string> parts;
    std::stringstream in(name);
    std::string part;
    while (std::getline(in, part, '/')) {
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (parts.empty()) {
                error = Shown(remote) + ": outside the server folder";
                return false;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        error = Shown(remote) + ": names no file";
        return false;
    }
    path = folder;
    for (const std::string& p : parts)
        path += "/" + p;
    return true;
}

std::string ModuleLine(const ModuleRecord& r) {
    return r.localFile + " | " + r.remoteFile + " | " +
           (r.updateOption.empty() ? "-" : r.updateOption) + " | sha256=" + r.sha256 +
           " | size=" + std::to_string(r.size) +
           (r.blocks.empty() ? "" : " | blocks=" + r.blocks + " | blocks-sha256=" + r.blocksSha256);
}

bool ReadsBackAs(const std::string& line, const ModuleRecord& r) {
    Reader reader;
    ModuleRecord back;
    return versionlist::ParseLine(reader, line, back) && back.localFile == r.localFile &&
           back.remoteFile == r.remoteFile && back.sha256 == r.sha256 && back.size == r.size &&
           back.blocks == r.blocks && back.blocksSha256 == r.blocksSha256 &&
           back.updateOption == (r.updateOption.empty() ? "-" : r.updateOption);
}

bool ListPathBelow(const std::string& folder, const std::string& list, std::string& listPath) {
    char* realFolder = ::realpath(folder.c_str(), nullptr);
    const std::string parent = list.substr(0, list.find_last_of('/') + 1);
    char* realParent = ::realpath(parent.empty() ? "." : parent.c_str(), nullptr);
    bool below = false;
    if (realFolder && realParent) {
        const std::string base = realFolder, where = std::string(realParent) + "/";
        below = where.compare(0, base.size() + 1, base + "/") == 0;
        if (below)
            listPath = "/" + where.substr(base.size() + 1) + list.substr(parent.size());
    }
    std::free(realFolder);
    std::free(realParent);
    return below;
}

bool ListPathInList(const std::string& utf8, std::string& cp949) {
    std::string converted;
    size_t failedAt = 0;
    if (!ConvertText(utf8, "UTF-8", "CP949", converted, failedAt))
        return false;
    cp949 = converted;
    return true;
}

std::string UtcTimeText(long long seconds) {
    const time_t value = static_cast<time_t>(seconds);
    struct tm fields;
    char text[32];
    ::gmtime_r(&value, &fields);
    std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &fields);
    return text;
}

bool ReadModules(const std::string& path, bool utf8, std::vector<ListedModule>& modules,
                 std::vector<int>& skippedLines, std::string& error) {
    std::string bytes, converted;
    if (!ReadFile(path, bytes, error))
        return false;
    if (utf8) {
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
            bytes.erase(0, 3); // the mark some editors put first
        size_t failedAt = 0;
        if (!ConvertText(bytes, "UTF-8", "CP949", converted, failedAt)) {
            const long line = 1 + std::count(bytes.begin(), bytes.begin() + failedAt, '\n');
            error = path + ":" + std::to_string(line) +
                    ": not UTF-8, or a character code page 949 lacks";
            return false;
        }
        bytes = converted;
    }
    if (bytes.empty())
        return true;
    FILE* file = ::fmemopen(&bytes[0], bytes.size(), "r");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    Reader reader;
    std::string line;
    int number = 0;
    bool lineStart = true;
    while (versionlist::ReadLine(file, line)) {
        // A long line arrives in chunks; count the file's lines, not chunks.
        if (lineStart)
            ++number;
        lineStart = !line.empty() && line.back() == '\n';
        ModuleRecord record;
        if (versionlist::ParseLine(reader, line, record))
            modules.push_back({number, record});
        else if (!versionlist::IsSkippedLine(line))
            skippedLines.push_back(number);
    }
    std::fclose(file);
    return true;
}

bool ReadFile(const std::string& path, std::string& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    bytes = s.str();
    return true;
}

bool ReplaceFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(&temp[0]);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0644) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0;
        if (ok)
            done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        error = path + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
    }
    return ok;
}

} // namespace publish
