#include "engine/ac_records.h"

#include <algorithm>
#include <functional>
#include <utility>

LiveAcTable liveAcTable;
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
    return liveAcTable.find(key);
}

void LiveAcTable::reserve(std::size_t n)
{
    records_.reserve(n);
    byKey_.reserve(n);
    byCallsign_.reserve(n);
    objectIds_.reserve(n);
    byObjectId_.reserve(n);
}

void LiveAcTable::clear()
{
    records_.clear();
    byKey_.clear();
    byCallsign_.clear();
    objectIds_.clear();
    byObjectId_.clear();
    repeatedKeys_ = false;
}

void LiveAcTable::eraseMovingLast(const LiveAc* record)
{
    const auto at = static_cast<std::size_t>(record - records_.data());
    const std::size_t last = records_.size() - 1;
    indexErased(at);
    if (at != last) {
        records_[at] = std::move(records_[last]);
        indexMoved(last, at);
    }
    records_.pop_back();
    afterErasing();
}

LiveAc* LiveAcTable::find(std::uint32_t key)
{
    const auto it = byKey_.find(key);
    return it == byKey_.end() ? nullptr : &records_[it->second];
}

LiveAc* LiveAcTable::findByObjectId(std::uint32_t objectId)
{
    if (objectId == 0)
        return scanObjectIds(0);
    const auto it = byObjectId_.find(objectId);
    return it == byObjectId_.end() ? nullptr : &records_[it->second.first];
}

void LiveAcTable::setCallsign(LiveAc& ac, const std::string& callsign)
{
    if (!inTable(ac)) {
        ac.desc.callsign = callsign;
        return;
    }
    unindexCallsign(ac);
    ac.desc.callsign = callsign;
    byCallsign_.emplace(ac.desc.callsign, ac.desc.key);
}

void LiveAcTable::setObjectId(LiveAc& ac, std::uint32_t objectId)
{
    if (inTable(ac)) {
        const auto at = static_cast<std::size_t>(&ac - records_.data());
        unindexObjectId(objectIds_[at], at);
        objectIds_[at] = objectId;
        indexObjectId(objectId, at);
    }
    ac.objectId = objectId;
}

void LiveAcTable::indexAdded(std::size_t at)
{
    if (!byKey_.try_emplace(records_[at].desc.key, at).second)
        repeatedKeys_ = true;
    byCallsign_.emplace(records_[at].desc.callsign, records_[at].desc.key);
    objectIds_.push_back(records_[at].objectId);
    indexObjectId(objectIds_[at], at);
}

// Before the record at `at` goes; a table with a repeated key is indexed again after erasing.
// The records after it still stand where they stood.
void LiveAcTable::indexErased(std::size_t at)
{
    if (!repeatedKeys_)
        byKey_.erase(records_[at].desc.key);
    unindexCallsign(records_[at]);
    unindexObjectId(objectIds_[at], at);
}

// After the record at `from` moved to `to`, an erased place before it.
void LiveAcTable::indexMoved(std::size_t from, std::size_t to)
{
    const LiveAc& ac = records_[to];
    if (!repeatedKeys_)
        byKey_.find(ac.desc.key)->second = to;
    objectIds_[to] = objectIds_[from];
    if (objectIds_[to] == 0)
        return;
    // Records move only toward the front, into erased places: the moved one is the first if it
    // was, or if it now stands before the first.
    ObjectIdPlace& place = byObjectId_.at(objectIds_[to]);
    place.first = place.first == from ? to : std::min(place.first, to);
}

void LiveAcTable::indexObjectId(std::uint32_t objectId, std::size_t at)
{
    if (objectId == 0)
        return;
    ObjectIdPlace& place = byObjectId_.try_emplace(objectId, ObjectIdPlace{at, 0}).first->second;
    place.first = std::min(place.first, at);
    ++place.count;
}

// The record at `at` no longer has the object id; when it was the first of several, the next
// one after it is.
void LiveAcTable::unindexObjectId(std::uint32_t objectId, std::size_t at)
{
    if (objectId == 0)
        return;
    const auto it = byObjectId_.find(objectId);
    if (it == byObjectId_.end())
        return;
    ObjectIdPlace& place = it->second;
    if (--place.count == 0) {
        byObjectId_.erase(it);
        return;
    }
    if (place.first == at)
        place.first = static_cast<std::size_t>(scanObjectIds(objectId, at + 1) - records_.data());
}

bool LiveAcTable::inTable(const LiveAc& ac) const
{
    const std::less<const LiveAc*> before;
    return !before(&ac, records_.data()) && before(&ac, records_.data() + records_.size());
}

// One entry of the record's callsign and key goes (a repeated key has one for each record).
void LiveAcTable::unindexCallsign(const LiveAc& ac)
{
    const auto [from, to] = byCallsign_.equal_range(ac.desc.callsign);
    const auto it = std::find_if(from, to, [&ac](const auto& entry) { return entry.second == ac.desc.key; });
    if (it != to)
        byCallsign_.erase(it);
}

void LiveAcTable::afterErasing()
{
    objectIds_.resize(records_.size());
    if (repeatedKeys_)
        indexKeys();
}

void LiveAcTable::indexKeys()
{
    byKey_.clear();
    repeatedKeys_ = false;
    for (std::size_t i = 0; i < records_.size(); ++i)
        if (!byKey_.try_emplace(records_[i].desc.key, i).second)
            repeatedKeys_ = true;
}

LiveAc* LiveAcTable::scanObjectIds(std::uint32_t objectId, std::size_t from)
{
    const auto it = std::find(objectIds_.begin() + static_cast<std::ptrdiff_t>(from), objectIds_.end(), objectId);
    return it == objectIds_.end() ? nullptr : &records_[static_cast<std::size_t>(it - objectIds_.begin())];
}
