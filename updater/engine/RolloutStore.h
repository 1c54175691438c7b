#pragma once
// What this machine is to the publisher, kept beside the serials
// (MachineStore.h): its place in staged rollouts and its desktop id.

#include "Win32Result.h"

#include <optional>
#include <string>

// This machine's place in staged rollouts: "RolloutBucket", REG_DWORD, 0 to
// 9999 in ten-thousandths, under the key; none when not drawn yet.
Win32Result ReadRolloutBucket(std::optional<unsigned>& bucket);
Win32Result KeepRolloutBucket(unsigned bucket);

// This machine's desktop id for pass reports: "DesktopId", REG_SZ, 32
// hexadecimal digits under the key; empty when none is kept (or the value
// is no such id).
Win32Result ReadDesktopId(std::string& id);
Win32Result KeepDesktopId(const std::string& id);
