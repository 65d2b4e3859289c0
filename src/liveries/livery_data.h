#pragma once
// One installed AI livery as the livery scan finds it, the scan's list of them, and the rule
// that spans all scan tasks: within one scan a title is accepted only once. The title is the name
// by which the simulator creates the AI aircraft, so two liveries with one title could never be
// told apart.

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_set>

namespace qmx {

struct LiveryData {
    std::string airline; // ICAO airline code; "PVT" private, "ZZZ" generic
    std::string model;   // ICAO aircraft type code
    std::string title;   // the simulator's name of the livery
    std::string atcid;   // one registration from atc_id, may be empty
    std::int32_t priority = 0; // livery folder number 1..10; 0 when read back from the saved scan
    bool cargo = false;

    // The empty record: recognised by its empty airline.
    LiveryData() = default;
    // Claims the title for this scan; a title claimed before gives the empty record.
    LiveryData(std::int32_t priority, const std::string& airline, const std::string& model, bool passenger,
               const std::string& title, const std::string& atcid);

    bool isEmpty() const noexcept { return airline.empty(); }
};

// Title, airline, model, registration and cargo equal; the folder priority does not count.
bool operator==(const LiveryData& a, const LiveryData& b) noexcept;

// Livery order: airline, then model, then title, each byte by byte.
bool gf_liveryBefore(const LiveryData& a, const LiveryData& b) noexcept;

} // namespace qmx

// The scan's result; start-up thread only. Emptied by the scan, filled by the scan or by reading
// the saved scan, emptied again by whoever consumed it.
extern std::list<qmx::LiveryData> ScannedLiveries;

// Every title accepted in the current scan; held only for one insertion. Looked up by hash: the
// scan tasks claim one title per section, all under this one lock.
extern std::unordered_set<std::string> scannedTitles;
extern std::mutex scannedTitlesMutex;
