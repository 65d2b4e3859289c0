#include "liveries/match_summary.h"

#include "core/exceptions.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "liveries/livery_matching.h"
#include "params/parameters.h"

#include <algorithm>
#include <fmt/format.h>

CreateFailureLists CreateFailures;
std::set<std::string> NoMatchList;

namespace {

constexpr const char* kSimName = "P3D";

} // namespace

void gf_registerCreateFailure(const AcDescription& ac)
{
    gf_reportMessage(fmt::format("{} \"{}\" could not be created by your Sim!", ac.callsign, ac.liveryTitle), true);
    CreateFailures.titles.push_back(ac.liveryTitle);
    CreateFailures.texts.push_back(ac.type + " " + ac.airline);
    if (CreateFailures.titles.size() < kCreateFailureLimit)
        return;
    const std::string text = fmt::format("there are too many liveries that could not be created by {}!", kSimName);
    gf_log(fmt::format("\n{}Error 81, {}\n", "===> ", text));
    throw qmx::UserErrorException(81, fmt::format("{}, see Log.txt", text));
}

bool gf_isCreateFailure(std::string_view liveryTitle)
{
    return std::find(CreateFailures.titles.begin(), CreateFailures.titles.end(), liveryTitle) !=
           CreateFailures.titles.end();
}

std::vector<std::string> lf_formatCreateFailures()
{
    std::vector<std::string>& texts = CreateFailures.texts;
    std::sort(texts.begin(), texts.end());
    texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
    std::vector<std::string> lines;
    lines.reserve(texts.size());
    for (const std::string& text : texts)
        lines.push_back("  " + text);
    return lines;
}

void gf_logNoMatchList()
{
    if (NoMatchList.empty() || !LOG.value.load())
        return;
    gf_log("\nNo match found for: ");
    for (const std::string& entry : NoMatchList)
        gf_log(entry);
    gf_log("");
}

void gf_clearNoMatchList()
{
    NoMatchList.clear();
}

void gf_logMatchingSummary()
{
    std::vector<std::string> lines;
    lines.reserve(256);
    lines.push_back(gf_starLine(64, 0, true, false, "live traffic livery matching summary"));
    lines.push_back("Matches at step: ");
    for (std::size_t step = 0; step < kMatchSteps; ++step)
        lines.push_back(fmt::format("  {}: {}", step + 1, MatchStepCounters[step]));
    const std::vector<std::string> failures = lf_formatCreateFailures();
    if (!failures.empty()) {
        lines.push_back(fmt::format("\nCould not be created by {}:", kSimName));
        lines.insert(lines.end(), failures.begin(), failures.end());
    }
    lines.push_back(gf_starLine(64, 36, false, true, ""));
    for (const std::string& line : lines)
        gf_log(line);
}
