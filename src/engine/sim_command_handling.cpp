#include "engine/sim_command_handling.h"

#include "airports/airport_services.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/live_removal.h"
#include "engine/live_sim_events.h"
#include "engine/neighbour_services.h"
#include "engine/update_pass.h"
#include "liveries/livery_services.h"
#include "params/parameters.h"
#include "simlink/flight_plans.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <fmt/format.h>
#include <stdexcept>

std::vector<SimCommand> activationList;

namespace {

constexpr std::uint32_t kActivationPasses = 200;
constexpr double kMinStaticCg = 1.0;  // feet
constexpr double kMaxStaticCg = 35.0; // feet
constexpr double kMinStaticPitch = -1.0 * geo::kDegToRad;
constexpr double kMaxStaticPitch = 2.5 * geo::kDegToRad;
constexpr double kDefaultStaticPitch = 0.012217304763960306; // 0.7 degree

template <typename Record, typename Match>
Record* lf_findFirst(std::vector<Record>& table, Match match)
{
    const auto it = std::find_if(table.begin(), table.end(), match);
    return it == table.end() ? nullptr : &*it;
}

LiveAc* lf_liveByObjectId(std::uint32_t objectId)
{
    return liveAcTable.findByObjectId(objectId);
}

StaticAc* lf_staticByKey(std::uint32_t key)
{
    return lf_findFirst(staticAcTable, [key](const StaticAc& ac) { return ac.desc.key == key; });
}

// Erased at once: the last record moves into its place.
void lf_eraseRecord(std::vector<StaticAc>& table, const StaticAc* record)
{
    const auto index = static_cast<std::size_t>(record - table.data());
    if (index + 1 != table.size())
        table[index] = std::move(table.back());
    table.pop_back();
}

void lf_eraseRecord(LiveAcTable& table, const LiveAc* record)
{
    table.eraseMovingLast(record);
}

// The flight-plan worker deletes the file; one that cannot be deleted is logged and left: the
// record goes at once all the same, so that it never waits for a removal that was already reported.
void lf_deleteFlightPlan(const LiveAc& ac)
{
    if (ac.flightPlanSet != 0)
        gf_queueFlightPlanDeletion(ac.objectId, gf_aircraftLabel(ac));
}

void lf_setObjectId(StaticAc& ac, std::uint32_t objectId)
{
    ac.objectId = objectId;
}

void lf_setObjectId(LiveAc& ac, std::uint32_t objectId)
{
    liveAcTable.setObjectId(ac, objectId);
}

// The object of an aircraft taken out while its creation was with the simulator goes at once.
template <typename Record>
bool lf_removeIfTakenOut(Record& ac, const SimCommand& command)
{
    if (ac.state != AcState::Removing)
        return false;
    lf_setObjectId(ac, command.objectId);
    removalsToHandOver.push_back(command.objectId);
    return true;
}

void lf_onLiveCreated(const SimCommand& command)
{
    LiveAc* ac = gf_findLiveAc(command.key);
    if (ac == nullptr)
        return;
    if (!lf_removeIfTakenOut(*ac, command) && lf_onLiveAcCreated(*ac, command))
        activationList.push_back(command);
}

void lf_onStaticCreated(const SimCommand& command)
{
    StaticAc* ac = lf_staticByKey(command.key);
    if (ac == nullptr || !lf_removeIfTakenOut(*ac, command))
        activationList.push_back(command);
}

void lf_onObjectRemoved(const SimCommand& command)
{
    // Object id 0 is the mark of a record that never reached the simulator, never a removed object.
    if (command.objectId == 0)
        return;
    // An activation waiting for the object goes with it, so that it never meets a later record
    // under the same key.
    std::erase_if(activationList, [&](const SimCommand& entry) { return entry.objectId == command.objectId; });
    if (LiveAc* ac = lf_liveByObjectId(command.objectId)) {
        if (ac->state == AcState::Respawning) {
            ac->state = AcState::Buffered; // created again with its new livery
            ac->throttleStep = 5;
            ac->flapsStep = 4;
            liveAcTable.setObjectId(*ac, 0);
            return;
        }
        lf_deleteFlightPlan(*ac);
        lf_eraseRecord(liveAcTable, ac);
        return;
    }
    const StaticAc* ac = lf_findFirst(staticAcTable, [&](const StaticAc& s) { return s.objectId == command.objectId; });
    if (ac != nullptr)
        lf_eraseRecord(staticAcTable, ac);
}

void lf_onGroundDataCommand(const SimCommand& command)
{
    if (!std::isfinite(command.first) || !std::isfinite(command.second))
        return;
    if (LiveAc* ac = lf_liveByObjectId(command.objectId))
        lf_applyGroundData(*ac, command);
}

void lf_onStaticCg(const SimCommand& command)
{
    LiveAc* ac = lf_liveByObjectId(command.objectId);
    if (ac == nullptr)
        return;
    if (command.first >= kMinStaticCg && command.first <= kMaxStaticCg)
        ac->desc.staticCgHeight = command.first;
    else if (LOG.value.load())
        gf_logWarning(fmt::format("{}: static CG {:.1F}ft wrong?", gf_aircraftLabel(*ac), command.first));
    const double pitch = command.second;
    // Written so that a NaN from the simulator is out of range too.
    ac->desc.staticPitch = pitch > kMinStaticPitch && pitch <= kMaxStaticPitch ? pitch : kDefaultStaticPitch;
}

void lf_onBlock(const SimCommand& command)
{
    LiveAc* ac = gf_findLiveAc(command.key);
    if (ac == nullptr)
        return;
    if (ac->state == AcState::Buffered) {
        gf_log(fmt::format("{} will be removed from buffer while blocked", gf_aircraftLabel(*ac)));
        ac->erase = 1;
    } else if (ac->state == AcState::InSim) {
        gf_log(fmt::format("{} removed from simulator immediately while blocked", gf_aircraftLabel(*ac)));
        gf_removeAc(*ac);
    }
}

template <typename Table, typename Record>
void lf_refuse(Table& table, Record* ac)
{
    if (ac == nullptr)
        return;
    gf_registerCreateFailure(ac->desc);
    gf_freeStand(*ac);
    lf_eraseRecord(table, ac);
}

void lf_onCreateRefused(const SimCommand& command)
{
    if (command.key > kLastStaticKey)
        lf_refuse(liveAcTable, gf_findLiveAc(command.key));
    else
        lf_refuse(staticAcTable, lf_staticByKey(command.key));
}

void lf_setCounter(SimCommand& entry, std::uint32_t counter)
{
    entry.reserved = counter;
}

// The 201st pass of a live entry. An aircraft taken out (or sent to a respawn) meanwhile is not
// configured: its object is gone or going, and activating it would mark it in the simulator again.
void lf_finishLiveEntry(SimCommand& entry)
{
    LiveAc* ac = gf_findLiveAc(entry.key);
    lf_setCounter(entry, kActivationDone);
    if (ac == nullptr || ac->objectId != entry.objectId)
        return; // the entry's aircraft is gone: only the record it was made for is activated
    if (ac->state == AcState::Removing || ac->state == AcState::Respawning || ac->erase != 0)
        return;
    lf_activateLiveAc(*ac);
    if (ac->removeWhenCreated != 0)
        gf_removeAc(*ac);
}

void lf_finishStaticEntry(SimCommand& entry)
{
    StaticAc* ac = lf_staticByKey(entry.key);
    if (ac == nullptr)
        return;
    lf_setCounter(entry, kActivationDone);
    ac->state = AcState::InSim;
    ac->objectId = entry.objectId;
    gf_shutdownAc(ac->objectId, ac->desc.category, ac->desc.cargo != 0, ac->throttleStep, ac->flapsStep);
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {:8} parked", gf_standName(ac->standId), ac->desc.callsign));
    if (ac->removeWhenCreated != 0)
        gf_removeAc(*ac);
}

} // namespace

void lf_processSimCommand(const SimCommand& command)
{
    switch (command.type) {
    case SimCommandType::LiveCreated:
        lf_onLiveCreated(command);
        break;
    case SimCommandType::StaticCreated:
        lf_onStaticCreated(command);
        break;
    case SimCommandType::Removed:
        lf_onObjectRemoved(command);
        break;
    case SimCommandType::GroundData:
        lf_onGroundDataCommand(command);
        break;
    case SimCommandType::StaticCg:
        lf_onStaticCg(command);
        break;
    case SimCommandType::Block:
        lf_onBlock(command);
        break;
    case SimCommandType::CreateRefused:
        lf_onCreateRefused(command);
        break;
    default:
        break;
    }
}

void gf_allLightsToggle(SimCommand& entry)
{
    if (entry.reserved == kActivationDone)
        return;
    const bool live = entry.type == SimCommandType::LiveCreated;
    if (entry.reserved < kActivationPasses) {
        lf_setCounter(entry, entry.reserved + 1);
        if (live && (entry.reserved == 50 || entry.reserved == 100))
            gf_sendClientEvent(entry.objectId, simid::kAllLightsToggle, 0);
        return;
    }
    if (live)
        lf_finishLiveEntry(entry);
    else
        lf_finishStaticEntry(entry);
}

void gf_clearActivationList()
{
    activationList.clear();
}

// Every command is applied even when one before it fails (a lost removal report would leave its
// record waiting for ever); the first failure is passed on once all are through.
void gf_SimCommands()
{
    std::exception_ptr failure;
    auto guarded = [&failure](auto&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            gf_log(fmt::format("{}: {}", "gf_SimCommands", e.what()));
            if (!failure)
                failure = std::current_exception();
        }
    };
    for (const SimCommand& command : gf_takeSimCommands())
        guarded([&command] { lf_processSimCommand(command); });
    bool anyDone = false;
    for (SimCommand& entry : activationList) {
        guarded([&entry] { gf_allLightsToggle(entry); });
        anyDone = anyDone || entry.reserved == kActivationDone;
    }
    if (anyDone)
        std::erase_if(activationList, [](const SimCommand& entry) { return entry.reserved == kActivationDone; });
    if (failure)
        std::rethrow_exception(failure);
}
