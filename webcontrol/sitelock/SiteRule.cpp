#include "SiteRule.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Host names as DNS writes them (letters, digits, inner hyphens), which also
// covers dotted IPv4 literals. Anything else, percent escapes and user parts
// included, is refused rather than guessed at.
bool IsHostName(const std::string& host, size_t minLabels) {
    if (host.empty() || host.size() > 253)
        return false;
    size_t labels = 0;
    size_t start = 0;
    while (start <= host.size()) {
        size_t end = host.find('.', start);
        if (end == std::string::npos)
            end = host.size();
        const size_t length = end - start;
        if (length == 0 || length > 63 || host[start] == '-' || host[end - 1] == '-')
            return false;
        for (size_t i = start; i < end; ++i)
            if (!IsLabelChar(host[i]))
                return false;
        ++labels;
        start = end + 1;
    }
    return labels >= minLabels;
}

unsigned DefaultPort(const std::string& scheme) {
    return scheme == "https" ? 443 : 80;
}

} // namespace

bool ParseSiteRule(const std::string& entry, SiteRule* rule) {
    const char* blanks = " \t";
    const size_t first = entry.find_first_not_of(blanks);
    if (first == std::string::npos)
        return false;
    std::string text = Lower(entry.substr(first, entry.find_last_not_of(blanks) - first + 1));

    const size_t separator = text.find("://");
    if (separator == std::string::npos)
        return false;
    SiteRule parsed;
    parsed.scheme = text.substr(0, separator);
    if (parsed.scheme != "http" && parsed.scheme != "https")
        return false;
    std::string authority = text.substr(separator + 3);
    if (!authority.empty() && authority.back() == '/')
        authority.pop_back();

    parsed.port = DefaultPort(parsed.scheme);
    const size_t colon = authority.find(':');
    if (colon != std::string::npos) {
        const std::string digits = authority.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const unsigned long port = std::stoul(digits);
        if (port == 0 || port > 65535)
            return false;
        parsed.port = static_cast<unsigned>(port);
        authority.erase(colon);
    }

    // "*.com" would open a whole top-level domain: a wildcard needs a domain
    // of at least two labels under it.
    if (authority.compare(0, 2, "*.") == 0) {
        parsed.wildcard = true;
        authority.erase(0, 2);
    }
    if (!IsHostName(authority, parsed.wildcard ? 2 : 1))
        return false;
    parsed.host = authority;
    *rule = parsed;
    return true;
}

bool SiteRuleAllows(const SiteRule& rule, const std::string& scheme, const std::string& host,
                    unsigned port) {
    if (Lower(scheme) != rule.scheme || port != rule.port)
        return false;
    const std::string page = Lower(host);
    if (!rule.wildcard)
        return page == rule.host;
    const std::string suffix = "." + rule.host;
    return page.size() > suffix.size() &&
           page.compare(page.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           IsHostName(page, 1);
}
