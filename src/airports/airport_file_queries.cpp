#include "airports/airport_file_queries.h"

#include "airports/airport_file_locator.h"
#include "airports/stand_file.h"
#include "core/files.h"
#include "core/log.h"
#include "core/xml.h"
#include "params/names.h"

#include <fmt/format.h>
#include <pugixml.hpp>

namespace {

constexpr std::uint32_t kWeekThreshold = 18;

double lf_nearestStand(const pugi::xml_node& parkpositions, LatLon position, std::string& standName)
{
    double best = kNoStandDistanceNm;
    for (const pugi::xml_node parkpos : parkpositions.children("parkpos")) {
        const LatLon at{gf_xmlAttributeAsDouble(parkpos, "latitude"), gf_xmlAttributeAsDouble(parkpos, "longitude")};
        const double d = gf_distanceNm(position, at);
        if (d < best) {
            best = d;
            standName = parkpos.attribute("id").value();
        }
    }
    return best;
}

double lf_closestStand(std::string_view code, LatLon position, std::string& standName)
{
    const std::string path = gf_locateApf(code);
    if (path.empty())
        return kNoStandDistanceNm;
    fs::path file = path;
    if (!path.starts_with("airports")) {
        file = g_airportFile;
        if (!lf_downloadApf(path, file).empty())
            return kNoStandDistanceNm;
    }
    pugi::xml_document document;
    if (document.load_file(file.c_str())) {
        if (const pugi::xml_node parkpositions = document.child("parkpositions"))
            return lf_nearestStand(parkpositions, position, standName);
    }
    gf_removeFileIfExists(g_airportFile);
    return kNoStandDistanceNm;
}

bool lf_suitableStockFile(const pugi::xml_document& document)
{
    const std::int32_t qfReal = lf_getIntParameter(document, "Qf_real").value_or(-1);
    const std::int32_t qfSoft = lf_getIntParameter(document, "Qf_soft").value_or(-1);
    if (qfReal < 0 && qfSoft < 0)
        return false;
    const std::optional<std::int32_t> week = lf_getIntParameter(document, "WEEK");
    return !week || static_cast<std::uint32_t>(*week) >= kWeekThreshold;
}

} // namespace

double gf_readDestApfForClosestStand(std::string_view code, LatLon position, std::string& standName)
{
    try {
        return lf_closestStand(code, position, standName);
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
        return kNoStandDistanceNm;
    }
}

bool gf_suitableForOfflineLearning(std::string_view code)
{
    const bool downloaded = gf_downloadP3dFile(gf_stockServerPath(code), gf_airportXmlPath(code));
    return gf_suitableStockFileForOfflineLearning(code, downloaded);
}

bool gf_suitableStockFileForOfflineLearning(std::string_view code, bool downloaded)
{
    const fs::path localFile = gf_airportXmlPath(code);
    pugi::xml_document document;
    const bool parsed = downloaded && document.load_file(localFile.c_str());
    gf_removeFileIfExists(localFile);
    if (!parsed) {
        gf_logWarning(fmt::format("{} Not suitable for offline learning", code));
        return false;
    }
    return lf_suitableStockFile(document);
}
