#include "airports/park_airport_choice.h"

#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "airports/airport_services.h"
#include "airports/apf_state.h"
#include "airports/learned_save.h"
#include "airports/park_airport_list.h"
#include "airports/parking_services.h"
#include "airports/quality_factor.h"
#include "airports/shell_services.h"
#include "airports/stand.h"
#include "airports/stand_file_loader.h"
#include "airports/static_parking_calc.h"
#include "core/clock.h"
#include "core/exceptions.h"
#include "core/log.h"
#include "simlink/sim_state.h"
#include "simlink/user_stand_services.h"
#include "traffic/traffic_reader.h"

#include <algorithm>
#include <fmt/format.h>
#include <optional>

std::atomic<bool> softLearningAllowed{false};

namespace {

constexpr std::int32_t kEnoughRealQuality = 45;
constexpr std::size_t kEnoughStandsForRealLearning = 20;

bool loadRequest = false;
std::optional<LatLon> lastUserPosition;
std::string lastAirportWithoutFile;

LatLon lf_airportPosition(const AirportRecord& airport)
{
    return {airport.latitude, airport.longitude};
}

bool lf_withinReach(double distanceNm)
{
    return distanceNm <= AIRPORT_RANGE.value.load() && userAc.altAboveGround <= AIRPORT_HEIGHT.value.load();
}

// Distances to the user are kept for the whole list, which stays sorted by them; a destination
// keeps its airport at the front whatever the distances.
void lf_followUserPosition(LatLon user)
{
    if (parkAirportList.empty())
        return;
    if (lastUserPosition && lastUserPosition->latitude == user.latitude &&
        lastUserPosition->longitude == user.longitude) {
        parkAirportList.front().distanceNm = gf_distanceNm(user, parkAirportList.front().position);
        return;
    }
    lastUserPosition = user;
    if (!DESTINATION.getValue().empty())
        return;
    for (ParkAirport& entry : parkAirportList)
        entry.distanceNm = gf_distanceNm(user, entry.position);
    std::stable_sort(parkAirportList.begin(), parkAirportList.end(),
                     [](const ParkAirport& a, const ParkAirport& b) { return a.distanceNm < b.distanceNm; });
}

void lf_loadRequestedFile()
{
    gf_withdrawMessage();
    loadRequest = false;
    const std::string message = lf_readParkedFile();
    if (message.empty()) {
        lf_calcStaticParking();
    } else {
        gf_reportMessage(message, true);
        lf_closeParkAirport();
    }
    gf_enableControl(DESTINATION);
}

// A file that knows the real traffic well enough leaves nothing for soft learning.
void lf_decideSoftLearning()
{
    if (gf_realQuality(parkQualityFactors) < kEnoughRealQuality || standTable.size() < kEnoughStandsForRealLearning) {
        softLearningAllowed = true;
        gf_enableControl(LEARN_SOFT);
        return;
    }
    softLearningAllowed = false;
    if (LEARN_SOFT.value.load()) {
        LEARN_SOFT.value = false;
        gf_setCheckMark(LEARN_SOFT, false);
        apfSettingsChanged = true;
    }
    gf_disableControl(LEARN_SOFT);
}

// The park airport goes to the front of the list, with the stand the user aircraft stands on. An
// entry deeper in the list moves to the front, so that no code stands in the list twice.
void lf_recordUserStand(const AirportRecord& park)
{
    if (!userAcDataValid.load())
        return;
    const std::string stand = gf_getStandAtPosition({userAc.latitude, userAc.longitude});
    const auto known = std::find_if(parkAirportList.begin(), parkAirportList.end(),
                                    [&park](const ParkAirport& entry) { return entry.code == park.code; });
    if (known != parkAirportList.end())
        std::rotate(parkAirportList.begin(), known, known + 1);
    if (known == parkAirportList.end()) {
        parkAirportList.insert(parkAirportList.begin(), ParkAirport{park.code, stand, lf_airportPosition(park), 0.0});
        gf_addMyParkAirport();
    } else if (!stand.empty() && stand != parkAirportList.front().stand) {
        parkAirportList.front().stand = stand;
        gf_addMyParkAirport();
    }
}

void lf_takeReservedStand(const AirportRecord& park)
{
    const bool frontIsPark = !parkAirportList.empty() && parkAirportList.front().code == park.code;
    if (frontIsPark && !parkAirportList.front().stand.empty()) {
        const std::string& stand = parkAirportList.front().stand;
        const bool found = gf_findStandByName(stand) != nullptr;
        g_mainWindow.reservedStandOk = found;
        reservedStand = found ? stand : std::string();
    } else {
        reservedStand.clear();
    }
    g_mainWindow.reservedStandText = reservedStand;
}

// A user's stand file with a mistake (a stand id twice, no altitude) is the user's to mend: it
// is refused like any other unreadable file, and the traffic goes on.
std::string lf_readApfOfUser(const std::string& path)
{
    try {
        return gf_readApf(path, parkApfInfo, parkQualityFactors);
    } catch (const qmx::UserErrorException& e) {
        return fmt::format("{} \"{}\": {}", "lf_readParkedFile", path, e.what());
    }
}

} // namespace

void gf_checkForParkAirportUpdates(bool showMessage)
{
    try {
        if (parkingBusyFlag.load() && staticCandidates.empty()) {
            gf_enableParkingControls();
            gf_withdrawMessage();
            gf_updateStaticParkTime(true);
            gf_updateLiveParkTime(true);
        }
        if (loadRequest) {
            lf_loadRequestedFile();
            return;
        }
        const LatLon user{userAc.latitude, userAc.longitude};
        if (gf_inNotYetKnownBox(user.latitude, user.longitude))
            return;
        lf_followUserPosition(user);
        if (gf_parkAirport().code.empty())
            lf_findParkAirport(user, showMessage);
        else
            lf_checkParkAirportInSight(user);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "gf_checkForParkAirportUpdates", e.what()));
        throw;
    }
}

void gf_resetParkAirportChoice()
{
    loadRequest = false;
    softLearningAllowed = false;
    lastUserPosition.reset();
    lastAirportWithoutFile.clear();
    gf_forgetFailedDownloads();
}

bool gf_parkAirportLoadRequested()
{
    return loadRequest;
}

void lf_findParkAirport(LatLon user, bool showMessage)
{
    if (!userOnGround.load()) {
        gf_enableControl(DESTINATION);
        if (parkAirportList.empty())
            return;
        const ParkAirport front = parkAirportList.front();
        const double d = gf_distanceNm(user, front.position);
        if (lf_withinReach(d) && lf_setParkAirport(front.code)) {
            gf_reportMessage(fmt::format("{} in sight at {:.1F} nm", front.code, d), true);
            loadRequest = true;
            lf_requestStaticParking(false);
        }
        return;
    }
    const std::optional<AirportRecord> airport = gf_nearestAirport(user);
    if (!airport) {
        gf_reportMessage("User aircraft on the ground, no airport in sight", true);
        return;
    }
    if (!gf_airportFileAvailable(airport->code)) {
        // Said once while the user aircraft stays at that airport, not at every check.
        if (airport->code != lastAirportWithoutFile)
            gf_reportMessage(fmt::format("User aircraft on the ground at {}", airport->code) + ", no airport file found",
                           true);
        lastAirportWithoutFile = airport->code;
        return;
    }
    lastAirportWithoutFile.clear();
    gf_log(fmt::format("User aircraft on the ground at {}", airport->code));
    lf_setParkAirport(airport->code);
    loadRequest = true;
    lf_requestStaticParking(showMessage);
}

void lf_checkParkAirportInSight(LatLon user)
{
    if (userOnGround.load())
        return;
    const AirportRecord park = gf_parkAirport();
    const double dP = gf_distanceNm(user, lf_airportPosition(park));
    if (!lf_withinReach(dP)) {
        gf_log(fmt::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed", gf_clockText(),
                           gf_airportText(park), dP));
        gf_removeStaticParked();
        return;
    }
    if (parkAirportList.empty() || parkAirportList.front().code == park.code)
        return;
    const ParkAirport front = parkAirportList.front();
    const double dF = gf_distanceNm(user, front.position);
    if (!lf_withinReach(dF) || dP < dF)
        return;
    gf_log(fmt::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first", gf_clockText(),
                       front.code, dF, gf_airportText(park)));
    gf_removeStaticParked();
}

bool lf_setParkAirport(std::string_view code)
{
    const std::optional<AirportRecord> airport = gf_findAirport(code);
    if (!airport)
        return false;
    gf_setParkAirport(*airport);
    gf_log(fmt::format("The park airport is {}", gf_airportText(*airport)));
    gf_invalidateParkingBand();
    return true;
}

void lf_saveLearnedData()
{
    if (standsLoaded.load() && (apfSettingsChanged.load() || learnedUpdateCount.load() != 0)) {
        lf_saveAirportFile();
        learnedUpdateCount = 0;
    }
}

void lf_closeParkAirport()
{
    lf_saveLearnedData();
    handmadeOverrule = false;
    standsLoaded.store(false);
    rtTrafficWeek = 0;
    gf_disableControl(g_flushStaticButton);
    gf_disableControl(parking_percentage);
    gf_setParkAirport({});
    trafficReader.setReferenceElevation(std::nullopt);
    if (g_mainWindow.parkedStaticCount.exchange(0) != 0)
        gf_invalidateParkingBand();
    gf_clearParkingAdjustmentLists();
    staticCandidates.clear();
    standTable.clear();
    g_mainWindow.parkFileOk = false;
    g_mainWindow.parkFileText = std::string();
    g_mainWindow.airportFileText = std::string();
    g_mainWindow.hFlag = false;
    gf_invalidateParkingBand();
}

void lf_requestStaticParking(bool showMessage)
{
    gf_disableParkingControls();
    trafficReader.startCallsignCollection();
    if (showMessage)
        gf_reportMessage("Calculating static parked aircraft ...", false);
}

std::string lf_readParkedFile()
{
    standTable.clear();
    const AirportRecord park = gf_parkAirport();
    const std::string path = gf_locateApf(park.code);
    if (path.empty())
        return fmt::format("{} {} not found", "lf_readParkedFile", park.code);
    if (path.size() >= 7 && path.find("unknown") != std::string::npos)
        return fmt::format("{} {} has publisher:{}, {}", "lf_readParkedFile", park.code, "unknown", path);
    parkApfInfo = ApfInfo{};
    const std::string message = lf_readApfOfUser(path);
    if (message.empty()) {
        lf_decideSoftLearning();
        lf_recordUserStand(park);
        standTable.shrink_to_fit();
        lf_takeReservedStand(park);
    }
    g_mainWindow.parkFileOk = message.empty();
    g_mainWindow.parkFileText = parkApfInfo.airport_name;
    gf_invalidateParkingBand();
    learnedUpdateCount = 0;
    g_mainWindow.updateCount = 0;
    return message;
}
