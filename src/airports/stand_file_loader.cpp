#include "airports/stand_file_loader.h"

#include "airports/airport_file_locator.h"
#include "airports/learned_merge.h"
#include "airports/quality_factor.h"
#include "airports/shell_services.h"
#include "airports/stand_file.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "params/names.h"
#include "params/xml_meta.h"
#include "traffic/traffic_reader.h"

#include <fmt/format.h>
#include <pugixml.hpp>

namespace {

constexpr std::int32_t kDefaultParkingPercentage = 30;

void lf_readHeader(const pugi::xml_document& document, ApfInfo& info)
{
    rtTrafficWeek = lf_getUintParameter(document).value_or(0);
    info.publisher = lf_getStringParameter(document, "publisher").value_or("");
    const std::optional<std::int32_t> altitude = lf_getIntParameter(document, "altitude");
    if (!altitude)
        throw qmx::UserErrorException(65, "Parameter altitude not found");
    info.altitude = *altitude;
    AirportRecord airport = gf_parkAirport();
    airport.elevation = static_cast<double>(*altitude);
    gf_setParkAirport(airport);
    info.airport_name = lf_getStringParameter(document, "airport_name").value_or("");
}

void lf_resetParkingPercentage()
{
    parking_percentage.setValue(kDefaultParkingPercentage);
    gf_disableControl(parking_percentage);
    gf_updateTextBoxFormatted(parking_percentage);
    gf_logIndented(fmt::format("{:24}: {}", parking_percentage.name, kDefaultParkingPercentage));
}

// The learned file, when there is one, amends the stands and decides the quality factors. A file
// learned before under the publisher's folder alone is read when the file's own is missing.
// Returns the path of the learned file read, empty when there was none.
std::string lf_mergeLearnedFile(const std::string& path, ApfInfo& info, std::uint64_t& qualityFactors)
{
    info.learnedPath = lf_learnedFileOf(path, info.publisher, gf_parkAirport().code);
    std::string learnedPath = info.learnedPath;
    if (!fs::exists(learnedPath))
        learnedPath = lf_publisherLearnedPath(info.publisher, gf_parkAirport().code);
    if (!fs::exists(learnedPath)) {
        lf_resetParkingPercentage();
        return {};
    }
    lf_readLearned(learnedPath, info);
    qualityFactors = gf_qualityFactor();
    if (handmadeOverrule)
        gf_log("A handmade airport file overruled the archived file!");
    return learnedPath;
}

void lf_numberStands()
{
    g_mainWindow.standCount = standTable.size();
    ++standTableLoads;
    gf_invalidateParkingBand();
    std::uint32_t id = 0;
    for (Stand& stand : standTable)
        stand.id = ++id;
    lf_computeStandNeighbours();
}

void lf_publishFigures(const ApfInfo& info, std::uint64_t qualityFactors)
{
    g_mainWindow.airportFileText = info.publisher;
    g_mainWindow.hFlag = handmadeOverrule;
    g_mainWindow.airportFileWeek = static_cast<std::int32_t>(rtTrafficWeek);
    gf_invalidateParkingBand();
    const std::string quality = lf_slotPairText(gf_realQuality(qualityFactors), gf_softQuality(qualityFactors));
    gf_logIndented(fmt::format("{:24}: {}", "publisher", info.publisher));
    gf_logIndented(fmt::format("{:24}: {} ft", "altitude", info.altitude));
    gf_logIndented(fmt::format("{:24}: {}", "num_parkpos", standTable.size()));
    gf_logIndented(fmt::format("{:24}: {}", "quality factor", quality));
    gf_logIndented(fmt::format("{:24}: {}", "RT traffic week", rtTrafficWeek));
    g_mainWindow.qualityText = quality;
}

void lf_armParking()
{
    standsLoaded.exchange(true);
    gf_enableControl(g_flushStaticButton);
    apfSettingsChanged = false;
    trafficReader.setReferenceElevation(gf_parkAirport().elevation);
    gf_invalidateParkingBand();
}

std::string lf_readApf(const std::string& path, ApfInfo& info, std::uint64_t& qualityFactors)
{
    if (path.empty())
        return fmt::format("{} xml is empty...", "gf_readApf");
    if (gf_parkAirport().code.empty())
        return fmt::format("{} no park airport set", "gf_readApf");
    fs::path source = path;
    if (!path.starts_with("airports")) {
        if (std::string failure = lf_downloadApf(path, g_parkAirportFile); !failure.empty())
            return failure;
        source = g_parkAirportFile;
    }
    handmadeOverrule = false;
    pugi::xml_document document;
    if (const pugi::xml_parse_result result = document.load_file(source.c_str()); !result)
        return fmt::format("{} could not be loaded: {}", path, result.description());
    if (!gf_checkMetaBlock(document))
        return fmt::format("{} but refused to load, copyright problem", path);
    lf_readHeader(document, info);
    lf_readUniqueParkPositions(document, 1, path);
    qualityFactors = gf_qualityPair(lf_getIntParameter(document, "Qf_real").value_or(-1),
                                    lf_getIntParameter(document, "Qf_soft").value_or(-1));
    const std::string learnedPath = lf_mergeLearnedFile(path, info, qualityFactors);
    lf_numberStands();
    gf_log(fmt::format("Airport file read from \"{}\" for {}", handmadeOverrule ? learnedPath : path,
                       info.airport_name));
    lf_publishFigures(info, qualityFactors);
    lf_armParking();
    return standTable.empty() ? "no stands found" : "";
}

} // namespace

std::string gf_readApf(const std::string& path, ApfInfo& info, std::uint64_t& qualityFactors)
{
    try {
        return lf_readApf(path, info, qualityFactors);
    } catch (const qmx::UserErrorException&) {
        throw;
    } catch (const std::exception& e) {
        return fmt::format("{}: {}", "gf_readApf", e.what());
    }
}
