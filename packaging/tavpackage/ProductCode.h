#pragma once
// The MSI's product code follows from what the package installs: the same
// files, sites and package source give the same code, anything else a new
// one, which replaces the installed product through the upgrade code.

#include <string>
#include <vector>

extern const char kUpgradeCode[];

// The value of the AllowedSites define: "[~]" before each entry and after the
// last makes the installer write a REG_MULTI_SZ. Empty without sites.
std::string SiteList(const std::vector<std::string>& sites);

// A name-based UUID (version 5) under the upgrade code, in braces, upper case,
// named by the SHA-256 of a description of the payload: the sha256sum lines of
// TavUpdate.exe, TavUpdateInfo.ini and TavWebOmblet.ocx in filesDir, that of
// the MSI source (named "-") and the site list, then, each only when one is
// given, "TraceLevel=" and the level and "Schedule=" and the schedule
// ("HH:MM,H"); each line ending in "\n".
bool ProductCode(const std::string& filesDir, const std::string& wxsPath,
                 const std::string& siteList, const std::string& traceLevel,
                 const std::string& schedule, std::string& code, std::string& error);
