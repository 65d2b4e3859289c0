#pragma once
// Recorded traffic replayed into the engine at its own pace, against a simulator double that
// answers at the engine's edge as the simulator would: every handed-over creation is bound to a
// new object (with its static CG) after the binding delay, every handed-over removal takes its
// object away, and the in-range reply reports the ground under each aircraft, a flat world at the
// airport's elevation. Shared by the replay test, the update-pass benchmark and the realism tool.

#include "engine/ac_records.h"
#include "engine/update_pass.h"
#include "liveries/dbase.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "params/park_airport.h"
#include "simlink/creation_queues.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_internal.h"
#include "simlink/sim_queues.h"
#include "simlink/sim_state.h"
#include "traffic/traffic_queue.h"
#include "traffic/traffic_reader.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace replay {

inline constexpr LatLon kKlax{33.942536, -118.408075};
inline constexpr double kElevationFt = 128.0;
inline constexpr double kStaticCgFt = 8.0;
inline constexpr std::int32_t kPassesPerSecond = 100;
inline constexpr std::int32_t kStuckRemovalPasses = 10 * kPassesPerSecond;

// The airport a capture is replayed at: the user aircraft parks at its reference point, and it is
// the park airport.
struct ReplayAirport {
    std::string code = "KLAX";
    std::string iata = "LAX";
    LatLon position = kKlax;
    double elevationFt = kElevationFt;
};

struct CaptureLine {
    double stamp = 0.0;
    std::string text;
};

// A capture of the shared data, else the project's own copy of it.
inline std::vector<CaptureLine> lf_captureLines(const char* name)
{
    std::filesystem::path file = std::filesystem::path(ORVANTA_SHARED_DATA_DIR) / "traffic" / name;
    if (!std::filesystem::exists(file))
        file = std::filesystem::path(ORVANTA_SOURCE_DIR) / "data" / "traffic" / name;
    std::ifstream text(file, std::ios::binary);
    if (!text)
        throw std::runtime_error(std::string("cannot read the capture ") + name);
    std::vector<CaptureLine> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.starts_with("RTTFC"))
            continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        if (fields.size() > 14)
            lines.push_back({std::stod(fields[14]), line});
    }
    return lines;
}

// The simulator as the engine sees it through its queues and the simulator commands.
class SimulatorDouble {
public:
    // A creation the simulator made: its object and where it put it.
    struct Creation {
        std::uint32_t objectId = 0;
        AcCreateRecord record;
    };

    explicit SimulatorDouble(double groundElevationFt = kElevationFt, std::int32_t bindDelayPasses = 0)
        : groundElevationFt_(groundElevationFt), bindDelayPasses_(bindDelayPasses)
    {
    }

    // Before a pass: the creation the pass is about to hand over (a live one before a static one).
    void beforePass(std::int32_t pass)
    {
        if (pass % 50 != 0)
            return;
        if (!liveCreationQueue.empty())
            handedCreations_.push_back({pass + bindDelayPasses_, liveCreationQueue.front()});
        else if (!staticCreationQueue.empty())
            handedCreations_.push_back({pass + bindDelayPasses_, staticCreationQueue.front()});
    }
    // After it: the simulator's answers, read by the next pass. An object whose record is on its
    // way out and no longer in the engine's removal queue was handed over for removal.
    void afterPass(std::int32_t pass)
    {
        creations.clear();
        while (!handedCreations_.empty() && handedCreations_.front().first <= pass) {
            createObject(handedCreations_.front().second);
            handedCreations_.pop_front();
        }
        // Kept from pass to pass: the double allocates nothing once the backlog has been this long.
        queued_.assign(removalsToHandOver.begin(), removalsToHandOver.end());
        std::sort(queued_.begin(), queued_.end());
        const auto handedOver = [&](const StaticAc& ac) {
            return (ac.state == AcState::Removing || ac.state == AcState::Respawning) && alive.contains(ac.objectId) &&
                   !std::binary_search(queued_.begin(), queued_.end(), ac.objectId);
        };
        for (const LiveAc& ac : liveAcTable)
            if (handedOver(ac))
                removeObject(ac.objectId);
        for (const StaticAc& ac : staticAcTable)
            if (handedOver(ac))
                removeObject(ac.objectId);
        if (pass % kPassesPerSecond == 0)
            reportGround();
    }
    // Every queued live creation answered at once, as if handed over (builds a load quickly).
    void createAllQueued()
    {
        while (!liveCreationQueue.empty()) {
            createObject(liveCreationQueue.front());
            liveCreationQueue.pop_front();
        }
    }
    // The exit's removals, all at once.
    void removeAllQueued()
    {
        while (!removalsToHandOver.empty()) {
            removeObject(removalsToHandOver.front());
            removalsToHandOver.pop_front();
        }
    }

    std::set<std::uint32_t> alive;
    std::size_t created = 0;
    std::size_t removedUnknown = 0;
    std::vector<Creation> creations; // made after the latest pass

private:
    void createObject(const AcCreateRecord& record)
    {
        const std::uint32_t id = nextObjectId_++;
        alive.insert(id);
        ++created;
        creations.push_back({id, record});
        if (record.key <= kLastStaticKey) {
            gf_pushSimCommand({id, record.key, 0, SimCommandType::StaticCreated, 0.0, 0.0});
            return;
        }
        const double agl = record.onGround != 0 ? 0.0 : record.altitude - groundElevationFt_;
        gf_pushSimCommand({id, record.key, 0, SimCommandType::LiveCreated, 0.0, agl});
        gf_pushSimCommand({id, 0, 0, SimCommandType::StaticCg, kStaticCgFt, 0.01});
    }
    void removeObject(std::uint32_t id)
    {
        if (alive.erase(id) == 0) {
            ++removedUnknown;
            return;
        }
        gf_pushSimCommand({id, 0, 0, SimCommandType::Removed, 0.0, 0.0});
    }
    // The in-range reply: every object of ours within 2500 ft of the ground.
    void reportGround()
    {
        for (const LiveAc& ac : liveAcTable) {
            if (ac.objectId == 0 || !alive.contains(ac.objectId))
                continue;
            const double agl = std::max(ac.pose.altitude - groundElevationFt_ - kStaticCgFt, 0.0);
            if (agl > 2500.0)
                continue;
            const std::uint32_t onGround = agl <= 1.0 ? 1 : 0;
            gf_pushSimCommand({ac.objectId, onGround, 0, SimCommandType::GroundData, groundElevationFt_, agl});
        }
    }

    double groundElevationFt_;
    std::int32_t bindDelayPasses_;
    std::deque<std::pair<std::int32_t, AcCreateRecord>> handedCreations_; // binding pass, creation
    std::uint32_t nextObjectId_ = 100;
    std::vector<std::uint32_t> queued_; // the engine's removal backlog, sorted
};

// The user parked at the airport, the airport the park airport, the sample data base read from a
// copy in `folder` (reading deletes the file), traffic accepted within 40 NM, as the program
// starts before it knows where the user is.
inline void lf_prepareAirport(const std::filesystem::path& folder, const ReplayAirport& airport)
{
    const std::filesystem::path sample = folder / "dbase.xml";
    std::filesystem::copy_file(std::filesystem::path(ORVANTA_SOURCE_DIR) / "tests/liveries/fixtures/dbase/temp2.xml",
                               sample, std::filesystem::copy_options::overwrite_existing);
    gf_readDbaseFile(sample);
    UserAcData user;
    user.latitude = airport.position.latitude;
    user.longitude = airport.position.longitude;
    user.altitude = airport.elevationFt + kStaticCgFt;
    lf_storeLiveUserAc(user);
    userAc = user;
    userPositionValid = true;
    userOnGround = true;
    gf_setParkAirport({airport.code, airport.iata, airport.position.latitude, airport.position.longitude,
                       airport.elevationFt});
    trafficReader.setReferencePosition(airport.position);
    trafficReader.setReferenceElevation(airport.elevationFt);
    g_trafficRangeNm = 40.0;
    g_trafficRangeM = 40.0 * 1852.0;
    gf_setAcceptTraffic(true);
    simConnectFailed = true; // no connection: the double answers instead
}

inline void lf_prepareKlax(const std::filesystem::path& folder)
{
    lf_prepareAirport(folder, ReplayAirport{});
}

// Every aircraft of the lines has its livery.
inline void lf_giveEveryAircraftALivery(const std::vector<CaptureLine>& lines)
{
    for (const CaptureLine& line : lines)
        liveryByHexId[static_cast<std::uint32_t>(std::stoul(line.text.substr(6)))] = "Replay livery";
}

} // namespace replay
