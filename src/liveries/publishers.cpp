#include "liveries/publishers.h"

#include "airports/scan_messages.h"
#include "liveries/dbase.h"

#include <fmt/format.h>
#include <regex>

namespace {

constexpr std::size_t kMaxPatternNameLength = 1024;

bool lf_entryMatches(const std::string& name, const std::string& entry)
{
    if (entry.empty())
        return true;
    if (entry.size() <= name.size() && name.find(entry) != std::string::npos)
        return true;
    return lf_matchesNamePattern(name, entry);
}

} // namespace

bool lf_matchesNamePattern(const std::string& name, const std::string& pattern)
{
    // The library's matcher recurses once per character: a name far beyond any file name would
    // overflow the stack of a scan task instead of failing with an exception.
    if (name.size() > kMaxPatternNameLength)
        return false;
    try {
        const std::regex expression(".*" + pattern + ".*", std::regex::ECMAScript | std::regex::icase);
        return std::regex_match(name, expression);
    } catch (...) {
        return false;
    }
}

std::string gf_publisherFromName(const std::string& name)
{
    if (name.find("ORBX") != std::string::npos || lf_matchesNamePattern(name, "ORBX")) {
        gf_addScanMessage(fmt::format("from filename => publisher  {}", "simaddon"));
        return "simaddon";
    }
    for (const std::vector<std::string>& names : dbaseTables.Publishers) {
        for (const std::string& entry : names) {
            if (lf_entryMatches(name, entry))
                return names.front();
        }
    }
    return "unknown";
}
