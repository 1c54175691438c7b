#pragma once
// The rollout report written three ways: text for the publisher, JSON for
// machines, one self-contained HTML page with its charts as inline SVG.

#include "Fleet.h"

#include <cstdio>
#include <string>

namespace passreport {

// listName: the plan's list path as UTF-8 text, for the writers below.
void PrintText(std::FILE* out, const Summary& s, const std::string& listName);
std::string JsonText(const Summary& s, const std::string& listName);
std::string HtmlPage(const Summary& s, const std::string& listName);

// "none", or the serial in decimal.
std::string SerialName(const SerialKey& k);

} // namespace passreport
