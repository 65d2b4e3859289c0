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
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

std::atomic<bool> softLearningAllowed{false};

namespace {

constexpr std::int32_t kEnoughRealQuality = 45;
constexpr std::size_t kEnoughStandsForRealLearning = 20;

bool loadRequest = false;
std::optional<LatLon> lastUserPosition;
std::string lastAirportWithoutFile;

// What the read of one airport's stand file found: where it lies (empty: nowhere) and, unless
// its publisher is unknown, its files read.
struct ParkFileRead {
    std::string code;
    std::string path;
    std::unique_ptr<StandFileSource> source;
};

bool lf_publisherUnknown(const std::string& path)
{
    return path.size() >= 7 && path.find("unknown") != std::string::npos;
}

// Finding the file may ask the server whether it has one, and reading it may fetch it: any thread.
ParkFileRead lf_readParkFile(const std::string& code)
{
    ParkFileRead read{code, gf_locateApf(code), nullptr};
    if (!read.path.empty() && !lf_publisherUnknown(read.path))
        read.source = gf_readStandFileSource(read.path, code);
    return read;
}

// Reads stand files on a thread of its own, one at a time, so that the checks in the pass never
// wait for the disk or the server: a check starts a read and a later check takes it. What a read
// throws is thrown again by the take, in the check that takes it on the work thread.
class ParkFileReader {
public:
    // A read still under way when the statics go is waited for; the exit ends it before.
    ~ParkFileReader() { forget(); }
    bool busy() const { return thread_.joinable() && !state_->done.load(); }
    // Starts `read`, asked for as `key`, unless a read still runs (it is let run to its end).
    // `key` names what was asked for: the airport, or on the ground the airports near the user
    // aircraft that it is chosen from.
    void start(std::string key, std::function<ParkFileRead()> read)
    {
        if (busy())
            return;
        forget();
        state_->key = std::move(key);
        thread_ = std::thread([state = state_, read = std::move(read)] {
            try {
                state->read = read();
            } catch (...) {
                state->failure = std::current_exception();
            }
            state->done.store(true);
        });
    }
    // The finished read asked for as `key`, once; nothing while it runs. A finished read of
    // something else is dropped.
    std::optional<ParkFileRead> take(const std::string& key)
    {
        if (!state_->done.load())
            return std::nullopt;
        join();
        const std::shared_ptr<State> state = std::exchange(state_, std::make_shared<State>());
        if (state->key != key)
            return std::nullopt;
        if (state->failure)
            std::rethrow_exception(state->failure);
        return std::move(state->read);
    }
    // Waits for the read that runs to end; it stays to be taken.
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    // Waits for the read that runs, and drops it.
    void forget()
    {
        join();
        state_ = std::make_shared<State>();
    }

private:
    struct State {
        std::atomic<bool> done{false};
        std::string key;
        ParkFileRead read;
        std::exception_ptr failure;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread thread_;
};

ParkFileReader parkFileReader;
// The read that found the file of the airport the user aircraft stands at, kept for its load.
std::optional<ParkFileRead> readForLoad;

void lf_startReading(const std::string& code)
{
    parkFileReader.start(code, [code] { return lf_readParkFile(code); });
}

// The finished read of the park airport's file, from the one kept or from the reader; else a
// read is started.
std::optional<ParkFileRead> lf_finishedRead(const std::string& code)
{
    if (readForLoad && readForLoad->code == code)
        return std::exchange(readForLoad, std::nullopt);
    readForLoad.reset();
    std::optional<ParkFileRead> read = parkFileReader.take(code);
    if (!read)
        lf_startReading(code);
    return read;
}

// The finished read of the file of the airport the user aircraft stands at, chosen from the
// airports near it; else the choice and the read are started.
std::optional<ParkFileRead> lf_finishedGroundRead(const NearAirports& near, LatLon user)
{
    const std::string key = near.closest->code + "," + (near.neighbour ? near.neighbour->code : std::string());
    std::optional<ParkFileRead> read = parkFileReader.take(key);
    if (!read) {
        parkFileReader.start(key, [near, user] { return lf_readParkFile(gf_nearestByStands(near, user)->code); });
    }
    return read;
}

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

std::string lf_takeInParkFile(ParkFileRead& read);

void lf_loadRequestedFile()
{
    std::optional<ParkFileRead> read = lf_finishedRead(gf_parkAirport().code);
    if (!read)
        return; // taken in at a later check
    gf_withdrawMessage();
    loadRequest = false;
    const std::string message = lf_takeInParkFile(*read);
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
std::string lf_takeInApfOfUser(StandFileSource& source)
{
    try {
        return gf_takeInStandFile(source, parkApfInfo, parkQualityFactors);
    } catch (const qmx::UserErrorException& e) {
        return fmt::format("{} \"{}\": {}", "lf_readParkedFile", source.path, e.what());
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
    gf_endParkFileRead();
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

void gf_waitForParkFileRead()
{
    parkFileReader.join();
}

void gf_endParkFileRead()
{
    parkFileReader.forget();
    readForLoad.reset();
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
            lf_startReading(front.code);
            lf_requestStaticParking(false);
        }
        return;
    }
    const NearAirports near = gf_airportsNear(user);
    if (!near.closest) {
        gf_reportMessage("User aircraft on the ground, no airport in sight", true);
        return;
    }
    // Which airport it is and whether it has a stand file are known once its files were looked
    // at, at a later check.
    readForLoad.reset();
    std::optional<ParkFileRead> read = lf_finishedGroundRead(near, user);
    if (!read)
        return;
    const std::string code = read->code;
    if (read->path.empty()) {
        // Said once while the user aircraft stays at that airport, not at every check.
        if (code != lastAirportWithoutFile)
            gf_reportMessage(fmt::format("User aircraft on the ground at {}", code) + ", no airport file found", true);
        lastAirportWithoutFile = code;
        return;
    }
    lastAirportWithoutFile.clear();
    readForLoad = std::move(read);
    gf_log(fmt::format("User aircraft on the ground at {}", code));
    lf_setParkAirport(code);
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
    ParkFileRead read = lf_readParkFile(gf_parkAirport().code);
    return lf_takeInParkFile(read);
}

namespace {

std::string lf_takeInParkFile(ParkFileRead& read)
{
    standTable.clear();
    const AirportRecord park = gf_parkAirport();
    const std::string& path = read.path;
    if (path.empty())
        return fmt::format("{} {} not found", "lf_readParkedFile", park.code);
    if (lf_publisherUnknown(path))
        return fmt::format("{} {} has publisher:{}, {}", "lf_readParkedFile", park.code, "unknown", path);
    parkApfInfo = ApfInfo{};
    const std::string message = lf_takeInApfOfUser(*read.source);
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

} // namespace
