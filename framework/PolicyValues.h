#pragma once
// Every value an administrator sets for the deliverables, per machine, below
// HKEY_LOCAL_MACHINE: the one list the readers (MachinePolicy.h) take, and
// the one the Group Policy templates in packaging/policy describe. Pure,
// built natively as well.

enum class PolicyType { Dword, Text, MultiText };

struct PolicyValue {
    const char* key;
    const char* name;
    PolicyType type;
};

namespace policy {

inline constexpr char kUpdaterKey[] = "SOFTWARE\\Tav\\TavUpdate";
inline constexpr char kControlKey[] = "SOFTWARE\\Tav\\TavWebOmblet";

// The administrator's log of each deliverable (LogFile.h).
inline constexpr PolicyValue kUpdaterTraceLevel = {kUpdaterKey, "TraceLevel", PolicyType::Dword};
inline constexpr PolicyValue kUpdaterTraceFile = {kUpdaterKey, "TraceFile", PolicyType::Text};
inline constexpr PolicyValue kControlTraceLevel = {kControlKey, "TraceLevel", PolicyType::Dword};
inline constexpr PolicyValue kControlTraceFile = {kControlKey, "TraceFile", PolicyType::Text};

// The pages the control serves (AllowedSites.h).
inline constexpr PolicyValue kAllowedSites = {kControlKey, "AllowedSites", PolicyType::MultiText};

} // namespace policy
