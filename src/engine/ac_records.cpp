#include "engine/ac_records.h"

#include <algorithm>
#include <utility>

std::vector<LiveAc> liveAcTable;
std::vector<StaticAc> staticAcTable;
std::vector<std::uint32_t> acToCreate;
std::vector<std::string> ghostCallsigns;
std::deque<std::uint32_t> spawnCheckList;

StaticAc::StaticAc(AcDescription description, std::uint32_t standId_, StandPose stand, bool cargoStand_)
    : desc(std::move(description)), standLat(stand.latitude), standLon(stand.longitude),
      standHeading(stand.heading), standId(standId_), cargoStand(cargoStand_ ? 1 : 0)
{
}

LiveAc::LiveAc(const StreamPosition& first, AcDescription description, double messageTime)
    : lastMessageTime(messageTime), lastReceivedSpeed(first.groundSpeed), lastFix{first.lat, first.lon}
{
    desc = std::move(description);
    stream.push_back(first);
}

void LiveAc::setPhase(AcPhase next)
{
    if (next == phase)
        return;
    previousPhase = phase;
    phase = next;
}

void gf_reserveAcTables()
{
    liveAcTable.reserve(512);
    staticAcTable.reserve(256);
}

LiveAc* gf_findLiveAc(std::uint32_t key)
{
    const auto it = std::find_if(liveAcTable.begin(), liveAcTable.end(),
                                 [key](const LiveAc& ac) { return ac.desc.key == key; });
    return it == liveAcTable.end() ? nullptr : &*it;
}
