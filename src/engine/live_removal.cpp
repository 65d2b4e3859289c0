#include "engine/live_removal.h"

#include "core/log.h"
#include "engine/ac_identity.h"
#include "engine/neighbour_services.h"
#include "engine/update_pass.h"
#include "params/parameters.h"
#include "simlink/sim_state.h"

#include <algorithm>
#include <fmt/format.h>

namespace {

// Drops the queued creation of this key; true when one was queued.
bool lf_cancelQueuedCreation(std::deque<AcCreateRecord>& queue, std::uint32_t key)
{
    const auto it =
        std::find_if(queue.begin(), queue.end(), [key](const AcCreateRecord& record) { return record.key == key; });
    if (it == queue.end())
        return false;
    queue.erase(it);
    return true;
}

// Takes back a creation that has not reached the simulator yet; true when one was found.
bool lf_withdrawCreation(const StaticAc& ac)
{
    const std::uint32_t key = ac.desc.key;
    if (key <= kLastStaticKey)
        return lf_cancelQueuedCreation(staticCreationQueue, key);
    if (const auto pending = std::find(acToCreate.begin(), acToCreate.end(), key); pending != acToCreate.end()) {
        acToCreate.erase(pending);
        return true;
    }
    return lf_cancelQueuedCreation(liveCreationQueue, key);
}

template <typename Table>
void lf_removeAll(Table& table, std::deque<AcCreateRecord>& creations)
{
    for (auto& ac : table) {
        if (ac.erase != 0)
            continue;
        // A creation the simulator has bound already is removed by its object id at once: its
        // configuration a few hundred passes later may never come (an exit ends the passes).
        if (ac.state == AcState::Creating && ac.objectId == 0) {
            if (lf_cancelQueuedCreation(creations, ac.desc.key))
                ac.erase = 1;
            else
                ac.removeWhenCreated = 1; // already with the simulator: removed once it reports it
        } else if (ac.state != AcState::Removing) {
            gf_removeAc(ac);
        }
    }
}

} // namespace

void gf_removeAc(StaticAc& ac)
{
    if (ac.state == AcState::Removing)
        return; // its object is queued for removal already
    gf_freeStand(ac);
    if (ac.state == AcState::Buffered) {
        ac.erase = 1;
        return;
    }
    if (ac.state == AcState::Respawning) {
        ac.state = AcState::Removing; // the respawn queued its object's removal already
        return;
    }
    if (ac.state == AcState::Creating && lf_withdrawCreation(ac)) {
        ac.erase = 1;
        return;
    }
    // A creation already with the simulator: its object is removed as soon as it is reported.
    const bool creating = ac.state == AcState::Creating;
    ac.state = AcState::Removing;
    if (ac.objectId != 0)
        removalsToHandOver.push_back(ac.objectId);
    else if (!creating)
        gf_logWarning(fmt::format("removing act {} with objectid=0 ?", gf_aircraftLabel(ac)));
}

void gf_removeAllLiveAc()
{
    // A spawned aircraft whose request is not built yet is cancelled like a queued one.
    for (const std::uint32_t key : acToCreate) {
        if (LiveAc* ac = gf_findLiveAc(key); ac != nullptr && ac->state == AcState::Creating)
            ac->erase = 1;
    }
    acToCreate.clear();
    lf_removeAll(liveAcTable, liveCreationQueue);
}

void gf_removeAllStatics()
{
    lf_removeAll(staticAcTable, staticCreationQueue);
}

bool gf_cancelQueuedLiveCreation(std::string_view callsign)
{
    bool found = false;
    std::erase_if(liveCreationQueue, [&](const AcCreateRecord& record) {
        if (record.callsign != callsign)
            return false;
        if (LiveAc* ac = gf_findLiveAc(record.key); ac != nullptr)
            ac->erase = 1;
        found = true;
        return true;
    });
    return found;
}

bool lf_removeFarthestLiveAc(double distanceNm)
{
    double best = distanceNm;
    LiveAc* chosen = nullptr;
    const LatLon user{userAc.latitude, userAc.longitude};
    for (LiveAc& ac : liveAcTable) {
        if (ac.state != AcState::InSim)
            continue;
        const double distance = gf_distanceNm(user, {ac.pose.latitude, ac.pose.longitude});
        if (distance > best + 0.1) {
            best = distance;
            chosen = &ac;
        }
    }
    if (chosen == nullptr)
        return true;
    gf_removeAc(*chosen);
    return false;
}

void gf_applyMaxLive()
{
    const std::int32_t limit = MAX_LIVE.value.load();
    if (limit == MAX_LIVE.defaultValue)
        return;
    const auto inSim = std::count_if(liveAcTable.begin(), liveAcTable.end(),
                                     [](const LiveAc& ac) { return ac.state == AcState::InSim; });
    for (auto excess = inSim - limit; excess > 0; --excess)
        lf_removeFarthestLiveAc(-1.0);
}
