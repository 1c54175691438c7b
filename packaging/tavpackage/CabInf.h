#pragma once
// TavWebOmblet.inf, the CAB's instructions to the browser that installs the
// control from a page.

#include <string>
#include <vector>

// The template (packaging/TavWebOmblet.inf) with the control's file version
// ("1,1,1,27") filled in and, when sites are given, the sections that write
// them as the MSI does; CRLF line ends.
std::string CabInfText(const std::string& templateText, const std::string& fileVersion,
                       const std::vector<std::string>& sites);
