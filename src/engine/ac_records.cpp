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

namespace {

// A drain of simulator commands that looks up more object ids than this scans no more.
constexpr std::size_t kScansBeforeObjectIndex = 8;

} // namespace

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
    repeatedKeys_ = false;
    objectIdsChanged();
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
    if (!objectIdsIndexed_) {
        if (++scansSinceChange_ <= kScansBeforeObjectIndex)
            return scanObjectIds(objectId);
        indexObjectIds();
    }
    const auto it = std::lower_bound(byObjectId_.begin(), byObjectId_.end(), std::pair{objectId, std::size_t{0}});
    if (it == byObjectId_.end() || it->first != objectId)
        return nullptr;
    return &records_[it->second];
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
        objectIds_[at] = objectId;
        if (objectIdsIndexed_ && unindexObjectId(ac.objectId, at)) {
            const std::pair entry{objectId, at};
            byObjectId_.insert(std::lower_bound(byObjectId_.begin(), byObjectId_.end(), entry), entry);
        } else {
            objectIdsChanged();
        }
    }
    ac.objectId = objectId;
}

void LiveAcTable::objectIdsChanged()
{
    objectIdsIndexed_ = false;
    scansSinceChange_ = 0;
}

void LiveAcTable::indexAdded(std::size_t at)
{
    if (!byKey_.try_emplace(records_[at].desc.key, at).second)
        repeatedKeys_ = true;
    byCallsign_.emplace(records_[at].desc.callsign, records_[at].desc.key);
    objectIds_.push_back(records_[at].objectId);
    objectIdsChanged(); // a new record's object id is set right after it is made
}

// Before the record at `at` goes; a table with a repeated key is indexed again after erasing.
void LiveAcTable::indexErased(std::size_t at)
{
    if (!repeatedKeys_)
        byKey_.erase(records_[at].desc.key);
    unindexCallsign(records_[at]);
    if (objectIdsIndexed_ && !unindexObjectId(records_[at].objectId, at))
        objectIdsChanged();
}

// After the record at `from` moved to `to`, an erased place before it.
void LiveAcTable::indexMoved(std::size_t from, std::size_t to)
{
    const LiveAc& ac = records_[to];
    if (!repeatedKeys_)
        byKey_.find(ac.desc.key)->second = to;
    objectIds_[to] = objectIds_[from];
    if (objectIdsIndexed_ && !unindexObjectId(ac.objectId, from))
        objectIdsChanged();
    if (objectIdsIndexed_) {
        const std::pair entry{ac.objectId, to};
        byObjectId_.insert(std::lower_bound(byObjectId_.begin(), byObjectId_.end(), entry), entry);
    }
}

// False when the entry is not there.
bool LiveAcTable::unindexObjectId(std::uint32_t objectId, std::size_t at)
{
    const std::pair entry{objectId, at};
    const auto it = std::lower_bound(byObjectId_.begin(), byObjectId_.end(), entry);
    if (it == byObjectId_.end() || *it != entry)
        return false;
    byObjectId_.erase(it);
    return true;
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

void LiveAcTable::indexObjectIds()
{
    byObjectId_.clear();
    for (std::size_t i = 0; i < objectIds_.size(); ++i)
        byObjectId_.emplace_back(objectIds_[i], i);
    std::sort(byObjectId_.begin(), byObjectId_.end());
    objectIdsIndexed_ = true;
}

LiveAc* LiveAcTable::scanObjectIds(std::uint32_t objectId)
{
    const auto it = std::find(objectIds_.begin(), objectIds_.end(), objectId);
    return it == objectIds_.end() ? nullptr : &records_[static_cast<std::size_t>(it - objectIds_.begin())];
}
