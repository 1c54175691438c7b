#include "RolloutStore.h"

#include "MachineStore.h"

namespace {
const char kBucketValue[] = "RolloutBucket";
const char kDesktopIdValue[] = "DesktopId";
} // namespace

Win32Result ReadRolloutBucket(std::optional<unsigned>& bucket) {
    bucket.reset();
    DWORD value = 0, size = sizeof(value);
    const Win32Result read = store::Read(store::kKey, kBucketValue, REG_DWORD, &value, size);
    if (read.Ok() && size == sizeof(value))
        bucket = value > 9999 ? 9999 : value;
    return read;
}

Win32Result KeepRolloutBucket(unsigned bucket) {
    const DWORD value = bucket;
    return store::Keep(store::kKey, kBucketValue, REG_DWORD, &value, sizeof(value));
}

Win32Result ReadDesktopId(std::string& id) {
    char text[64] = {};
    DWORD size = sizeof(text) - 1;
    const Win32Result read = store::Read(store::kKey, kDesktopIdValue, REG_SZ, text, size);
    id = read.Ok() ? std::string(text) : std::string();
    if (id.size() != 32 || id.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        id.clear();
    return read;
}

Win32Result KeepDesktopId(const std::string& id) {
    return store::Keep(store::kKey, kDesktopIdValue, REG_SZ, id.c_str(),
                       static_cast<DWORD>(id.size() + 1));
}
