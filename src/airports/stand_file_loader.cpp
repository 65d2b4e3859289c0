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

// The learned file of the stand file that exists: its own, else one learned before under the
// publisher's folder alone. Empty when there is none.
std::string lf_existingLearnedFile(const std::string& path, const std::string& publisher, const std::string& code)
{
    std::string learnedPath = lf_learnedFileOf(path, publisher, code);
    if (!fs::exists(learnedPath))
        learnedPath = lf_publisherLearnedPath(publisher, code);
    return fs::exists(learnedPath) ? learnedPath : std::string();
}

// The learned file, when there is one, amends the stands and decides the quality factors.
// Returns the path of the learned file read, empty when there was none.
std::string lf_mergeLearnedFile(const StandFileSource& source, ApfInfo& info, std::uint64_t& qualityFactors)
{
    info.learnedPath = lf_learnedFileOf(source.path, info.publisher, gf_parkAirport().code);
    if (source.learnedPath.empty()) {
        lf_resetParkingPercentage();
        return {};
    }
    lf_readLearned(source.learnedPath, source.learned, source.learnedResult, info, source.learnedStands);
    qualityFactors = gf_qualityFactor();
    if (handmadeOverrule)
        gf_log("A handmade airport file overruled the archived file!");
    return source.learnedPath;
}

void lf_numberStands(std::vector<Stand>& table)
{
    std::uint32_t id = 0;
    for (Stand& stand : table)
        stand.id = ++id;
    lf_computeStandNeighbours(table);
}

void lf_countStands()
{
    g_mainWindow.standCount = standTable.size();
    ++standTableLoads;
    gf_invalidateParkingBand();
}

// The stand table of the files, built beside their reading; the take-in logs its lines in turn.
void lf_buildStands(StandFileSource& source)
{
    LogHold hold;
    try {
        lf_readUniqueParkPositions(source.stands, source.document, 1, source.path);
    } catch (...) {
        source.standFailure = std::current_exception();
    }
    source.standLines = hold.take();
    if (source.standFailure)
        return;
    if (!source.learnedPath.empty())
        source.learnedStands =
            lf_mergeLearnedStandsInto(source.stands, source.learnedPath, source.learned, source.learnedResult);
    lf_numberStands(source.stands);
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

void lf_readSource(StandFileSource& source)
{
    fs::path file = source.path;
    if (!source.path.starts_with("airports")) {
        source.failure = lf_downloadApf(source.path, g_parkAirportFile);
        if (!source.failure.empty())
            return;
        file = g_parkAirportFile;
    }
    source.result = source.document.load_file(file.c_str());
    if (!source.result) {
        source.failure = fmt::format("{} could not be loaded: {}", source.path, source.result.description());
        return;
    }
    const std::string publisher = lf_getStringParameter(source.document, "publisher").value_or("");
    source.learnedPath = lf_existingLearnedFile(source.path, publisher, source.code);
    if (!source.learnedPath.empty())
        source.learnedResult = source.learned.load_file(source.learnedPath.c_str());
    lf_buildStands(source);
}

std::string lf_takeIn(StandFileSource& source, ApfInfo& info, std::uint64_t& qualityFactors)
{
    const std::string& path = source.path;
    if (path.empty())
        return fmt::format("{} xml is empty...", "gf_readApf");
    if (gf_parkAirport().code.empty())
        return fmt::format("{} no park airport set", "gf_readApf");
    handmadeOverrule = false;
    if (!source.failure.empty())
        return source.failure;
    const pugi::xml_document& document = source.document;
    if (!gf_checkMetaBlock(document))
        return fmt::format("{} but refused to load, copyright problem", path);
    lf_readHeader(document, info);
    standTable = std::move(source.stands);
    gf_logHeldLines(source.standLines);
    if (source.standFailure)
        std::rethrow_exception(source.standFailure);
    qualityFactors = gf_qualityPair(lf_getIntParameter(document, "Qf_real").value_or(-1),
                                    lf_getIntParameter(document, "Qf_soft").value_or(-1));
    const std::string learnedPath = lf_mergeLearnedFile(source, info, qualityFactors);
    lf_countStands();
    gf_log(fmt::format("Airport file read from \"{}\" for {}", handmadeOverrule ? learnedPath : path,
                       info.airport_name));
    lf_publishFigures(info, qualityFactors);
    lf_armParking();
    return standTable.empty() ? "no stands found" : "";
}

} // namespace

std::unique_ptr<StandFileSource> gf_readStandFileSource(const std::string& path, const std::string& code)
{
    auto source = std::make_unique<StandFileSource>();
    source->path = path;
    source->code = code;
    if (path.empty() || code.empty())
        return source; // said when it is taken in
    try {
        lf_readSource(*source);
    } catch (const std::exception& e) {
        source->failure = fmt::format("{}: {}", "gf_readApf", e.what());
    }
    return source;
}

std::string gf_takeInStandFile(StandFileSource& source, ApfInfo& info, std::uint64_t& qualityFactors)
{
    try {
        return lf_takeIn(source, info, qualityFactors);
    } catch (const qmx::UserErrorException&) {
        throw;
    } catch (const std::exception& e) {
        return fmt::format("{}: {}", "gf_readApf", e.what());
    }
}

std::string gf_readApf(const std::string& path, ApfInfo& info, std::uint64_t& qualityFactors)
{
    const std::unique_ptr<StandFileSource> source = gf_readStandFileSource(path, gf_parkAirport().code);
    return gf_takeInStandFile(*source, info, qualityFactors);
}
