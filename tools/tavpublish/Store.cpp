#include "Store.h"

#include "Keys.h"
#include "VersionList.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace store {
namespace {

bool IsDigestName(const std::string& name) {
    return name.size() == 64 && name.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool MakeFolders(const std::string& path, std::string& error) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            error = folder + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes a temporary file beside the path and links it in: the name appears
// with the whole file or not at all, and never replaces what is there.
bool LinkNewFile(const std::string& path, int (*fill)(int fd, const void* context),
                 const void* context, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(&temp[0]);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    int failed = ::fchmod(fd, 0644) != 0 ? errno : fill(fd, context);
    if (!failed && ::fsync(fd) != 0)
        failed = errno;
    if (::close(fd) != 0 && !failed)
        failed = errno;
    if (!failed && ::link(temp.c_str(), path.c_str()) != 0)
        failed = errno;
    ::unlink(temp.c_str());
    if (failed)
        error = path + ": " + std::strerror(failed);
    return !failed;
}

int CopyInto(int fd, const void* context) {
    const int in = ::open(static_cast<const std::string*>(context)->c_str(), O_RDONLY);
    if (in < 0)
        return errno;
    char buffer[1 << 16];
    int failed = 0;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof(buffer));
        if (n == 0)
            break;
        if (n < 0 || !WriteAll(fd, buffer, static_cast<size_t>(n))) {
            failed = errno ? errno : EIO;
            break;
        }
    }
    ::close(in);
    return failed;
}

int BytesInto(int fd, const void* context) {
    const std::string& bytes = *static_cast<const std::string*>(context);
    return WriteAll(fd, bytes.data(), bytes.size()) ? 0 : (errno ? errno : EIO);
}

} // namespace

std::string StoredRemotePath(const std::string& remote, const std::string& sha256) {
    const size_t slash = remote.find_last_of('/');
    if (slash == std::string::npos)
        return sha256 + "/" + remote;
    return remote.substr(0, slash + 1) + sha256 + remote.substr(slash);
}

namespace {

// False, with the error, when the stored path holds other bytes; there is
// true when it holds these.
bool AlreadyStored(const std::string& stored, const std::string& sha256, bool& there,
                   std::string& error) {
    struct stat st;
    there = false;
    if (::lstat(stored.c_str(), &st) != 0)
        return true;
    std::string digest;
    if (S_ISREG(st.st_mode) && Sha256File(stored, digest, error) && digest == sha256) {
        there = true;
        return true;
    }
    error = stored + ": already there with other bytes; a stored file is never rewritten "
                     "(remove it if nothing serves it)";
    return false;
}

// What fill writes, at the stored path with its folders, unless the path
// holds these bytes already.
bool StoreNew(const std::string& stored, const std::string& sha256,
              int (*fill)(int fd, const void* context), const void* context, std::string& error) {
    bool there = false;
    if (!AlreadyStored(stored, sha256, there, error))
        return false;
    return there || (MakeFolders(stored, error) && LinkNewFile(stored, fill, context, error));
}

} // namespace

bool StoreBytes(const std::string& bytes, const std::string& stored, const std::string& sha256,
                std::string& error) {
    return StoreNew(stored, sha256, BytesInto, &bytes, error);
}

bool StoreFile(const std::string& source, const std::string& stored, const std::string& sha256,
               std::string& error) {
    return StoreNew(stored, sha256, CopyInto, &source, error);
}

std::vector<KeptList> KeptLists(const std::string& list) {
    const size_t slash = list.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : list.substr(0, slash + 1);
    const std::string prefix = list.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    std::vector<KeptList> kept;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return kept;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string digits = name.substr(std::min(prefix.size(), name.size()));
        unsigned long long serial = 0;
        if (name.compare(0, prefix.size(), prefix) == 0 && !digits.empty() && digits[0] != '0' &&
            digits.find_first_not_of("0123456789") == std::string::npos &&
            versionlist::FindSerial(";serial=" + digits, serial) == versionlist::SERIAL_FOUND)
            kept.push_back({serial, (slash == std::string::npos ? "" : folder) + name});
    }
    ::closedir(dir);
    std::sort(kept.begin(), kept.end(),
              [](const KeptList& a, const KeptList& b) { return a.serial > b.serial; });
    return kept;
}

bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error) {
    return LinkNewFile(path, BytesInto, &bytes, error);
}

bool IsStoredPath(const std::string& path) {
    const size_t name = path.find_last_of('/');
    if (name == std::string::npos || name == 0)
        return false;
    const size_t folder = path.find_last_of('/', name - 1);
    return IsDigestName(path.substr(folder == std::string::npos ? 0 : folder + 1,
                                    name - (folder == std::string::npos ? 0 : folder + 1)));
}

} // namespace store
