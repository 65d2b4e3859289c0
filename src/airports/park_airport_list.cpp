#include "airports/park_airport_list.h"

#include "airports/airport_database.h"
#include "airports/shell_services.h"
#include "airports/stand.h"
#include "core/files.h"
#include "core/log.h"
#include "core/serial_jobs.h"
#include "core/text.h"
#include "params/names.h"
#include "simlink/sim_state.h"

#include <algorithm>
#include <fmt/format.h>

std::string reservedStand;

namespace {

constexpr std::string_view kFileName = "my_park_airports.txt";
constexpr std::size_t kManyParkAirports = 3000;

// The user's list is rewritten here, one rewrite after another in the order they were asked
// for, so that recording the user's stand never makes the work thread's pass wait for the disk.
SerialJobs listWrites{"gf_addMyParkAirport"};

std::string lf_entryLine(const ParkAirport& entry)
{
    return entry.stand.empty() ? entry.code : entry.code + "," + entry.stand;
}

void lf_logListRead()
{
    const std::size_t n = parkAirportList.size();
    if (n == 0)
        return;
    gf_log(fmt::format("{} park airport{} read from \"{}\"", n, n >= 2 ? "s" : "", kFileName));
    if (n > kManyParkAirports)
        gf_reportMessage(fmt::format("Warning: There are a lot of airports ({}) in {}, that will cost Orva much cpu "
                                   "time, and may give stutters",
                                   n, kFileName),
                       true);
}

void lf_reportUnreadableList(const fs::path& file)
{
    gf_reportMessage(fmt::format("Warning: {} could not be read and is left as it is", file.string()), true);
}

// The entry's line replaces the line of its airport, or is added; the list is kept sorted.
void lf_writeEntry(const fs::path& file, const ParkAirport& entry)
{
    const std::string entryLine = lf_entryLine(entry);
    std::vector<std::string> lines;
    const bool exists = fs::exists(file);
    if (exists && !gf_readExtTextFileToStringVector(file, lines)) {
        // The user's list is worth more than the one line it would be replaced with.
        lf_reportUnreadableList(file);
        return;
    }
    const auto updated = [&entry](std::string& line) { return lf_updateMyParkAirportStand(line, entry); };
    if (!exists) {
        lines.assign(1, entryLine);
        gf_log(fmt::format("{} created with {}", kFileName, entryLine));
    } else if (std::none_of(lines.begin(), lines.end(), updated)) {
        lines.push_back(entryLine);
        gf_log(fmt::format("{}:{} new entry", kFileName, entryLine));
    }
    std::sort(lines.begin(), lines.end());
    if (!gf_writeLinesToFile(lines, file))
        gf_logWarning(fmt::format("could not write {}", file.string()));
}

void lf_readListFile(bool& result)
{
    std::vector<std::string> lines;
    if (!fs::exists(g_myParkAirportsFile)) {
        gf_log(g_myParkAirportsFile.string() + " not found");
        return;
    }
    if (!gf_readExtTextFileToStringVector(g_myParkAirportsFile, lines)) {
        lf_reportUnreadableList(g_myParkAirportsFile);
        result = false;
        return;
    }
    for (const std::string& line : lines)
        lf_parseMyParkAirportsLine(line, result);
}

// The new reserved stand of the front entry, when it is to change now.
bool lf_reservedStandChanges(const ParkAirport& front)
{
    return front.code == gf_parkAirport().code && userAcStand.empty() && !front.stand.empty() &&
           front.stand != reservedStand;
}

void lf_changeReservedStand(const std::string& stand, std::string& message)
{
    message = fmt::format("reserved stand changed from \"{}\" to \"{}\"", reservedStand, stand);
    if (Stand* old = reservedStand.empty() ? nullptr : gf_findStandByName(reservedStand))
        old->reserved = false;
    reservedStand = stand;
    gf_clearReservedStand();
    if (Stand* now = gf_findStandByName(reservedStand))
        now->reserved = true;
    g_mainWindow.reservedStandText = reservedStand;
    gf_invalidateParkingBand();
}

} // namespace

bool lf_isParkAirport(std::string_view code)
{
    return std::any_of(parkAirportList.begin(), parkAirportList.end(),
                       [code](const ParkAirport& entry) { return entry.code == code; });
}

void lf_parseMyParkAirportsLine(const std::string& line, bool& result)
{
    const std::vector<std::string> fields = gf_splitAtComma(line);
    if (fields.empty())
        return;
    if (fields.size() >= 3) {
        gf_logWarning(fmt::format("{}:{} wrong syntax, skipped", kFileName, line));
        return;
    }
    const std::optional<AirportRecord> airport = gf_findAirport(fields[0]);
    if (!airport) {
        gf_reportMessage(fmt::format("airport {} is unknown", fields[0]), true);
        result = false;
        return;
    }
    if (lf_isParkAirport(fields[0])) {
        gf_logWarning(fmt::format("{}:{} double, skipped", kFileName, fields[0]));
        return;
    }
    parkAirportList.push_back(ParkAirport{fields[0], fields.size() == 2 ? fields[1] : std::string(),
                                          {airport->latitude, airport->longitude}, 0.0});
}

void lf_addThirdpartyParkAirports()
{
    std::size_t added = 0;
    if (!fs::exists(g_myThirdpartyFolder))
        return;
    for (const fs::directory_entry& entry : fs::directory_iterator(g_myThirdpartyFolder)) {
        if (!entry.is_regular_file())
            continue;
        const std::string code = entry.path().stem().string();
        if (lf_isParkAirport(code))
            continue;
        if (const std::optional<AirportRecord> airport = gf_findAirport(code)) {
            parkAirportList.push_back(ParkAirport{code, {}, {airport->latitude, airport->longitude}, 0.0});
            ++added;
        }
    }
    if (added > 0)
        gf_log(fmt::format("{} park airport{} added from my_thirdparty folder(-s) ", added, added > 1 ? "s" : ""));
}

bool lf_readMyParkAirports()
{
    bool result = true;
    gf_finishMyParkAirportWrites(); // the list read is the one last written
    parkAirportList.clear();
    try {
        lf_readListFile(result);
        lf_logListRead();
        lf_addThirdpartyParkAirports();
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("{}: {}", "lf_readMyParkAirports", e.what()));
        return false;
    }
    return result;
}

bool lf_updateMyParkAirportStand(std::string& line, const ParkAirport& front)
{
    const std::vector<std::string> fields = gf_splitAtComma(line);
    if (fields.empty() || fields[0] != front.code)
        return false;
    line = front.code + "," + front.stand;
    gf_log(fmt::format("{}:{},{} updated stand", kFileName, front.code, front.stand));
    return true;
}

void gf_addMyParkAirport()
{
    if (parkAirportList.empty())
        return;
    listWrites.post([file = g_myParkAirportsFile, entry = parkAirportList.front()] {
        try {
            lf_writeEntry(file, entry);
        } catch (const std::exception& e) {
            gf_logWarning(fmt::format("{}: {}", "gf_addMyParkAirport", e.what()));
        }
    });
}

void gf_finishMyParkAirportWrites()
{
    listWrites.finish();
}

bool gf_checkReservedStand(bool checkStand, std::string& message)
{
    if (!lf_readMyParkAirports())
        return false;
    if (checkStand && userAcDataValid.load() && !parkingBusyFlag.load() && !parkAirportList.empty()) {
        const ParkAirport& front = parkAirportList.front();
        if (lf_reservedStandChanges(front))
            lf_changeReservedStand(front.stand, message);
    }
    if (message.empty())
        message = "park airports and stands are okay";
    return true;
}

void gf_setDestinationParkAirport(std::string_view code, LatLon position)
{
    const auto found = std::find_if(parkAirportList.begin(), parkAirportList.end(),
                                    [code](const ParkAirport& entry) { return entry.code == code; });
    if (found == parkAirportList.end()) {
        parkAirportList.insert(parkAirportList.begin(), ParkAirport{std::string(code), {}, position, 0.0});
        gf_addMyParkAirport();
        return;
    }
    std::rotate(parkAirportList.begin(), found, found + 1);
}

