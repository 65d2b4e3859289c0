#include "liveries/livery_data.h"

#include <tuple>

std::list<qmx::LiveryData> ScannedLiveries;
std::unordered_set<std::string> scannedTitles;
std::mutex scannedTitlesMutex;

namespace {

bool lf_claimTitle(const std::string& title)
{
    const std::lock_guard lock(scannedTitlesMutex);
    return scannedTitles.insert(title).second;
}

} // namespace

namespace qmx {

LiveryData::LiveryData(std::int32_t priority, const std::string& airline, const std::string& model, bool passenger,
                       const std::string& title, const std::string& atcid)
{
    if (!lf_claimTitle(title))
        return;
    this->airline = airline;
    this->model = model;
    this->title = title;
    this->atcid = atcid;
    this->priority = priority;
    cargo = !passenger;
}

bool operator==(const LiveryData& a, const LiveryData& b) noexcept
{
    return std::tie(a.title, a.airline, a.model, a.atcid, a.cargo) ==
           std::tie(b.title, b.airline, b.model, b.atcid, b.cargo);
}

bool gf_liveryBefore(const LiveryData& a, const LiveryData& b) noexcept
{
    // std::string's comparison is byte-wise (char_traits<char> compares as unsigned char).
    return std::tie(a.airline, a.model, a.title) < std::tie(b.airline, b.model, b.title);
}

} // namespace qmx
