#pragma once
// A module's partial file that a pass could not finish, kept beside its
// target so that a later pass continues it instead of receiving the module
// again from its first byte. Its name says whose it is and which copy of the
// remote file its bytes came from: "TavUpdate.<key>.<validator>.keep", the key
// made from the target's full path and the remote path, the validator (the
// server's ETag or Last-Modified, or an FTP file's SIZE and MDTM) in hex. It
// is given that name only once flushed, so what a kept file holds is on the
// disk. A pass takes one over only when it is a plain file with one name.

#include <windows.h>

#include <set>
#include <string>

// What a kept partial file holds: its bytes, and the copy they belong to.
struct KeptPart {
    unsigned long long size = 0;
    std::string validator;
};

// The validator of a module kept whole once it was checked: its listed
// digest. No server's ETag, date or FTP answer reads like it.
const char kWholeModuleMark[] = "sha256:";
inline std::string WholeModuleValidator(const std::string& sha256) {
    return kWholeModuleMark + sha256;
}
inline bool IsWholeModuleValidator(const std::string& validator) {
    return validator.rfind(kWholeModuleMark, 0) == 0;
}

// Longest validator a kept file's name carries; a copy named by a longer one
// is not kept.
const size_t kMostValidatorBytes = 100;
// A kept file not written to for longer is swept.
const unsigned kKeptDays = 3;

// The key of a module's kept file: 16 hex digits for the target (its full
// path, letters in one case) and the remote path.
std::string KeptPartialKey(const std::string& target, const std::string& remotePath);

// The kept file's name in its folder for the key and validator; empty when
// the validator is empty or too long.
std::wstring KeptPartialName(const std::string& key, const std::string& validator);

// The validator a kept file's name carries, when the name is the key's and
// the validator printable ASCII.
bool ReadKeptPartialName(const std::wstring& name, const std::string& key, std::string& validator);

// A kept file of the key in the folder (a full path ending in a backslash):
// its name and the validator the name carries.
bool FindKeptPartial(const std::wstring& folder, const std::string& key, std::wstring& name,
                     std::string& validator);

// The kept file of the target's module as it lies, not opened: its bytes and
// the validator its name carries; nothing when there is none. Taking it over
// may still find another (KeptPart of CPartialFile::OpenKept).
KeptPart FindKeptPart(const std::string& target, const std::string& remotePath);

// Every kept file of the key in the folder removed.
void RemoveKeptPartials(const std::wstring& folder, const std::string& key);

// The kept files in the target's folder that belong to none of the keys
// given, or were last written more than kKeptDays ago, removed.
void SweepKeptPartials(const std::string& target, const std::set<std::string>& listedKeys);
