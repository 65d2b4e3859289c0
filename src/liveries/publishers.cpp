#include "liveries/publishers.h"

#include "core/log.h"
#include "liveries/dbase.h"

#include <atomic>
#include <fmt/format.h>
#include <regex>

namespace {

constexpr std::size_t kMaxPatternNameLength = 1024;

void lf_logScanMessage(const std::string& line)
{
    gf_log(line);
}

std::atomic<ScanMessageSink> publisherMessageSink{lf_logScanMessage};

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
        publisherMessageSink.load()(fmt::format("from filename => publisher  {}", "simaddon"));
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

void gf_setPublisherMessageSink(ScanMessageSink sink)
{
    publisherMessageSink.store(sink != nullptr ? sink : lf_logScanMessage);
}
