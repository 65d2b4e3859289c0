#pragma once
// The live aircraft that may block a holding one (taxiing, moving, in the simulator), by where
// they stand, for one update of all live aircraft: a holding aircraft asks for the ones near it
// instead of looking at every aircraft. Made when the first aircraft of the update holds and kept
// up to date after the update of each aircraft, the only place an aircraft moves or starts to
// taxi during the update. Work thread only.

#include "engine/ac_records.h"

#include <cstdint>
#include <vector>

// True for an aircraft that may block a holding one: it taxis, moves and is in the simulator.
bool lf_mayBlockHolding(const LiveAc& ac);

class TaxiingGrid {
public:
    // The update of all live aircraft begins: nothing is gathered until an aircraft asks.
    void beginUpdate();
    // The aircraft at `index` of liveAcTable has been updated.
    void updated(std::size_t index);
    // The update is over: an aircraft asking now is answered by a look at every aircraft.
    void endUpdate();

    // True when `blocks` holds for an aircraft of liveAcTable. While the update lasts it is
    // called only for the aircraft that may block a holding one and may lie within `factor`
    // times the two half wingspans of `ac` (the aircraft being looked for are a subset of those);
    // else for every aircraft.
    template <typename Blocks>
    bool anyNear(const LiveAc& ac, double factor, Blocks blocks)
    {
        if (!active_)
            return lf_anyOf(blocks);
        if (!gathered_)
            gather();
        Box box;
        if (!boxAround(ac, factor, box))
            return lf_anyOf(blocks);
        for (std::int64_t lat = box.latFirst; lat <= box.latLast; ++lat) {
            for (std::int64_t lon = box.lonFirst; lon <= box.lonLast; ++lon) {
                for (std::int32_t i = heads_[bucketOf(lat, lon)]; i >= 0; i = next_[static_cast<std::size_t>(i)]) {
                    if (blocks(liveAcTable[static_cast<std::size_t>(i)]))
                        return true;
                }
            }
        }
        return false;
    }

private:
    struct Box {
        std::int64_t latFirst = 0;
        std::int64_t latLast = 0;
        std::int64_t lonFirst = 0;
        std::int64_t lonLast = 0;
    };
    template <typename Blocks>
    static bool lf_anyOf(Blocks& blocks)
    {
        for (const LiveAc& other : liveAcTable)
            if (blocks(other))
                return true;
        return false;
    }
    void gather();
    void place(std::size_t index);
    void unlink(std::size_t index);
    bool boxAround(const LiveAc& ac, double factor, Box& box) const;
    std::size_t bucketOf(std::int64_t latCell, std::int64_t lonCell) const;

    bool active_ = false;
    bool gathered_ = false;
    double widestHalfSpan_ = 0.0; // nautical miles, of the aircraft gathered
    std::vector<std::int32_t> heads_; // first aircraft of each bucket of cells; -1 none
    std::vector<std::int32_t> next_;  // per aircraft: the next one of its bucket
    std::vector<std::int32_t> prev_;  // the one before; -1 for the first
    std::vector<std::int32_t> bucket_; // its bucket; -1 when not gathered
};

extern TaxiingGrid taxiingGrid;

// The update of all live aircraft, for taxiingGrid: it ends even when the update throws.
class TaxiingGridUpdate {
public:
    TaxiingGridUpdate() { taxiingGrid.beginUpdate(); }
    ~TaxiingGridUpdate() { taxiingGrid.endUpdate(); }
    TaxiingGridUpdate(const TaxiingGridUpdate&) = delete;
    TaxiingGridUpdate& operator=(const TaxiingGridUpdate&) = delete;
};
