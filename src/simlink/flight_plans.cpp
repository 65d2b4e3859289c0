#include "simlink/flight_plans.h"

#include "core/files.h"
#include "core/log.h"
#include "params/names.h"
#include "simconnect/simconnect.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"

#include <fmt/format.h>
#include <mutex>
#include <ostream>
#include <system_error>

namespace {

std::mutex folderMutex;
fs::path flightPlanFolderPath;

// Text from outside input inside an element.
std::string lf_escapeXml(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

bool lf_flysIfr(AcCategory category)
{
    return category == AcCategory::Buzjets || category == AcCategory::Large || category == AcCategory::Heavy;
}

fs::path lf_folder()
{
    std::lock_guard lock(folderMutex);
    return flightPlanFolderPath;
}

} // namespace

void gf_createFlightPlanFolder()
{
    std::lock_guard lock(folderMutex);
    flightPlanFolderPath = g_flightPlanFolder;
    if (!fs::exists(flightPlanFolderPath))
        fs::create_directories(flightPlanFolderPath);
}

fs::path gf_flightPlanFolderPath()
{
    return lf_folder();
}

std::string gf_flightPlanFileName(std::uint32_t objectId)
{
    return fmt::format("{}.pln", objectId);
}

std::string gf_flightPlanText(const FlightPlanRoute& route)
{
    return fmt::format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                       "<FlightPlan.FlightPlan>\n"
                       "<FPType>{}</FPType>\n"
                       "<DepartureID>{}</DepartureID>\n"
                       "<DestinationID>{}</DestinationID>\n"
                       "</FlightPlan.FlightPlan>\n"
                       "</SimBase.Document>\n",
                       lf_flysIfr(route.category) ? "IFR" : "VFR", lf_escapeXml(route.origin),
                       lf_escapeXml(route.destination));
}

bool gf_writeFlightPlan(const fs::path& path, const FlightPlanRoute& route)
{
    const std::string text = gf_flightPlanText(route);
    return gf_saveFileAtomically(path, [&text](std::ostream& out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        return static_cast<bool>(out);
    }, SaveDurability::Regenerable);
}

bool gf_giveFlightPlan(std::uint32_t objectId, const FlightPlanRoute& route, const std::string& label)
{
    const fs::path path = lf_folder() / gf_flightPlanFileName(objectId);
    bool given = gf_writeFlightPlan(path, route);
    if (given) {
        std::lock_guard lock(simConnectMutex);
        given = qmx::SUCCEEDED(qmx::SimConnect_AISetAircraftFlightPlan(gf_simConnectHandle(), objectId,
                                                                  gf_pathText(path).c_str(), simid::kReqFlightPlan));
    }
    if (!given)
        gf_logWarning(fmt::format("{} creating a flight plan failed", label));
    return given;
}

bool gf_removeFlightPlanFolder()
{
    const fs::path folder = lf_folder();
    try {
        if (folder.empty() || !fs::exists(folder))
            return false;
        fs::remove_all(folder);
    } catch (const std::exception& e) {
        gf_log(fmt::format("gf_removeFlightPlanFolder: {}", e.what()));
    }
    return true;
}
