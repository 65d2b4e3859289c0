#include "airports/learned_save.h"

#include "airports/airport_file_locator.h"
#include "airports/apf_state.h"
#include "airports/learned_merge.h"
#include "airports/quality_factor.h"
#include "airports/shell_services.h"
#include "airports/stand_file.h"
#include "core/clock.h"
#include "params/names.h"

#include <algorithm>
#include <fmt/format.h>

namespace {

// Without a handmade file the options read from the airport file stay out of the learned file,
// and so do stands left with nothing of their own.
void lf_collectLearnedStands(std::vector<Stand>& out)
{
    for (Stand& stand : standTable) {
        if (!handmadeOverrule) {
            std::erase_if(stand.opts, [](const ParkPosOption& option) { return option.fixed != 0; });
            if (!stand.manual && stand.opts.empty() && !stand.radiusChange && !stand.cargoChange)
                continue;
        }
        out.push_back(stand);
    }
}

// The stock and simaddon folders are made at start-up; a missing one is a failure to report.
fs::path lf_learnedFileToWrite()
{
    const std::string code = gf_parkAirport().code;
    const fs::path path = parkApfInfo.learnedPath.empty() ? lf_publisherLearnedPath(parkApfInfo.publisher, code)
                                                          : parkApfInfo.learnedPath;
    const fs::path folder = path.parent_path();
    if (folder != g_learnedStockFolder && folder != g_learnedSimaddonFolder && !fs::exists(folder))
        fs::create_directories(folder);
    return path;
}

// hh:mm:ss of the asctime text "Www Mmm dd hh:mm:ss yyyy".
std::string lf_timeOfDayText()
{
    const std::string text = gf_utcTimeText(gf_wallClockSeconds());
    return text.size() < 13 ? text : text.substr(text.size() - 13, 8);
}

} // namespace

void lf_saveAirportFile()
{
    AirportFile file;
    file.ICAO = gf_parkAirport().code;
    file.airport_name = parkApfInfo.airport_name;
    file.publisher = parkApfInfo.publisher;
    file.altitude = parkApfInfo.altitude;
    lf_collectLearnedStands(file.stands);
    if (handmadeOverrule) {
        const std::uint64_t pair = gf_qualityFactor();
        file.Qf_real = gf_realQuality(pair);
        file.Qf_soft = gf_softQuality(pair);
    }
    const fs::path path = lf_learnedFileToWrite();
    const std::string time = lf_timeOfDayText();
    const std::uint32_t updates = learnedUpdateCount.load();
    if (gf_writeApf(file, path, ApfWriteMode::LearnedSave))
        gf_reportMessage(fmt::format("{}{} \"{}\" saved with {} update{} {}", time, handmadeOverrule ? " handmade" : "",
                                   path.string(), updates, updates == 1 ? "" : "s",
                                   apfSettingsChanged.load() ? "and one or more parameter changes" : ""),
                       true);
    else
        gf_reportMessage(fmt::format("{} saving \"{}\" did not succeed", time, path.string()), true);
    learnedUpdateCount = 0;
    apfSettingsChanged = false;
}
