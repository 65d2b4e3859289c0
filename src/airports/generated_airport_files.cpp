#include "airports/generated_airport_files.h"

#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "core/files.h"
#include "core/log.h"
#include "liveries/dbase.h"
#include "liveries/publishers.h"
#include "liveries/scan_messages.h"
#include "params/names.h"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <map>
#include <mutex>

namespace {

constexpr std::string_view kSimaddon = "simaddon";
constexpr std::string_view kUnknown = "unknown";
constexpr std::string_view kWarningMark = "===> ";
constexpr std::array<std::string_view, 7> kGroupSuffixes{"", "a", "b", "c", "d", "e", "f"};

// Serialises the archive lookups and link-file writes of the parallel scan tasks.
std::mutex classificationMutex;

// The BGL file whose generated file each airport has so far. The map is guarded by
// generatedMutex; each airport's entry by its own mutex, held while its file is written, so that
// the file on disk is always the winner's while other airports are written at the same time.
struct GeneratedFrom {
    std::mutex writing;
    bool written = false;
    std::uint64_t sceneryOrder = 0;
    std::string bglPath;
};
std::mutex generatedMutex;
std::map<std::string, GeneratedFrom> generatedFrom;

GeneratedFrom& lf_generatedEntry(const std::string& ICAO)
{
    std::lock_guard lock(generatedMutex);
    return generatedFrom[ICAO];
}

// True when the file of this BGL file is to be written (it comes later than the one written).
bool lf_takesPrecedence(GeneratedFrom& entry, const AirportFile& file, std::uint64_t sceneryOrder)
{
    const bool later = !entry.written || sceneryOrder >= entry.sceneryOrder;
    const std::string& kept = later ? file.BGLpath : entry.bglPath;
    const std::string& left = later ? entry.bglPath : file.BGLpath;
    if (entry.written && kept != left)
        gf_addScanMessage(fmt::format("{}{} of {} left out, {} comes later in the scenery order", kWarningMark,
                                      file.ICAO, left, kept));
    if (later) {
        entry.written = true;
        entry.sceneryOrder = sceneryOrder;
        entry.bglPath = file.BGLpath;
    }
    return later;
}

Stand lf_standFromBgl(const BglStand& decoded)
{
    const StandPlacement placement{decoded.latitude, decoded.longitude, decoded.heading};
    if (decoded.heli) {
        Stand stand(decoded.name, {}, placement, 0.0, 1, 1, 0);
        stand.radius = decoded.radiusMetres / 1852.0;
        return stand;
    }
    Stand stand(decoded.name, {}, placement, decoded.radiusMetres, decoded.cargo ? 0 : 1, decoded.ramp ? 0 : 1, 1);
    stand.nameSuffixed = decoded.nameSuffixed;
    return stand;
}

// Whether a user's own file has the place of a file the scan is about to write; reported.
bool lf_placeTakenByUser(const std::filesystem::path& file, std::string_view what)
{
    if (!std::filesystem::exists(file) || gf_isScanMadeFile(file))
        return false;
    gf_addScanMessage(fmt::format("{}{} {} left out, a file of the user's own is there", kWarningMark, what, file.string()));
    return true;
}

// A link file whose folder is missing would leave the airport linked to nothing: the folder is
// made first, and a link that cannot be written does not count, so the airport is generated.
bool lf_writeLinkFile(const std::filesystem::path& folder, std::string_view ICAO, const std::string& archivePath)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::filesystem::path linkFile = folder / (std::string(ICAO) + ".txt");
    if (!ec && lf_placeTakenByUser(linkFile, "Link file"))
        return false;
    if (!ec && gf_writeStringToFile(archivePath, linkFile, true))
        return true;
    gf_addScanMessage(fmt::format("{}Writing link file {} did not succeed", kWarningMark, linkFile.string()));
    return false;
}

std::string lf_withEscapedBlanks(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c == ' ')
            out += "%20";
        else
            out += c;
    }
    return out;
}

// Members of the group of `base`, in table order.
std::vector<Stand*> lf_standGroup(AirportFile& file, const std::string& base)
{
    std::vector<Stand*> group;
    for (Stand& stand : file.stands) {
        const auto named = [&](std::string_view suffix) { return stand.name == base + std::string(suffix); };
        const bool member = std::any_of(kGroupSuffixes.begin(), kGroupSuffixes.end(), named);
        if (member)
            group.push_back(&stand);
    }
    return group;
}

void lf_reportStandSurplus(const AirportFile& file, std::uint32_t archivedCount)
{
    if (file.stands.size() > archivedCount && file.publisher != kSimaddon)
        gf_addScanMessage(fmt::format("{}{} has {} parkpos while archived one has {}", kWarningMark, file.ICAO,
                                      file.stands.size(), archivedCount));
}

// The folder is made when the first save into it finds it missing, so that the other saves ask
// nothing more of the system than the save itself.
bool lf_writeGeneratedApf(const AirportFile& file, const std::filesystem::path& folder, const std::filesystem::path& path)
{
    if (gf_writeApf(file, path, ApfWriteMode::Generated))
        return true;
    if (std::filesystem::exists(folder))
        return false;
    std::filesystem::create_directory(folder);
    return gf_writeApf(file, path, ApfWriteMode::Generated);
}

} // namespace

bool gf_isScanMadeFile(const std::filesystem::path& file)
{
    std::string link;
    if (file.extension() == ".txt")
        return lf_pathFromTxtFile(file, link) && link.starts_with("archive/");
    return file.extension() == ".xml" && gf_isGeneratedApf(file);
}

const std::filesystem::path& gf_generatedAirportFolder(std::string_view publisher)
{
    return publisher == kSimaddon ? g_myOrbxFolder : g_myThirdpartyFolder;
}

AirportFile lf_airportFileFromBgl(const BglAirport& airport)
{
    AirportFile file;
    file.ICAO = airport.code;
    file.airport_name = airport.name;
    file.altitude = airport.elevationFeet;
    file.stands.reserve(airport.stands.size());
    for (const BglStand& decoded : airport.stands)
        file.stands.push_back(lf_standFromBgl(decoded));
    return file;
}

void lf_processBglAirport(BglAirport&& airport)
{
    AirportFile file = lf_airportFileFromBgl(airport);
    std::uint32_t archivedCount = 0;
    const bool linked = lf_classifyScannedAirport(file, archivedCount, airport.bglPath);
    if (airport.nameClash)
        lf_sortAndNameStands(file);
    lf_reportStandSurplus(file, archivedCount);
    const bool moreThanArchived = file.stands.size() > archivedCount && file.publisher != kSimaddon;
    if (!linked || moreThanArchived)
        lf_generateAirportFile(file, airport.helipadCount, airport.sceneryOrder);
}

bool lf_classifyScannedAirport(AirportFile& file, std::uint32_t& archivedCount, const std::filesystem::path& bglPath)
{
    const ScanMessageBatch messages; // added once the classification lock is released
    std::lock_guard lock(classificationMutex);
    archivedCount = 0;
    file.BGLpath = bglPath.string();
    file.publisher = gf_publisherFromName(file.BGLpath);
    bool linked = false;
    if (file.publisher == kUnknown)
        linked = false;
    else if (file.publisher == kSimaddon)
        linked = lf_linkSimaddonAirport(file);
    else
        linked = lf_linkThirdpartyAirport(file.publisher, file, archivedCount);
    if (linked)
        g_addonAirportsFound.store(true);
    return linked;
}

std::optional<std::string> lf_findSimaddonArchive(std::string_view ICAO)
{
    if (dbaseTables.SimaddonAirports.contains(ICAO))
        return fmt::format("archive/{}/{}.xml", kSimaddon, ICAO);
    gf_addScanMessage(fmt::format("{} does not exist as simaddon", ICAO));
    return std::nullopt;
}

bool lf_linkSimaddonAirport(const AirportFile& file)
{
    const std::optional<std::string> archivePath = lf_findSimaddonArchive(file.ICAO);
    if (!archivePath || !lf_writeLinkFile(g_myOrbxFolder, file.ICAO, *archivePath))
        return false;
    gf_addScanMessage(fmt::format("{} airport {} linked to {}", kSimaddon, file.ICAO, *archivePath));
    return true;
}

std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, std::string_view ICAO,
                                                    std::uint32_t& archivedCount)
{
    for (const PublisherAirportList& list : dbaseTables.PublisherAirports) {
        if (list.publisher != publisher)
            continue;
        for (const std::string& item : list.airports) {
            if (lf_parsePrefixedNumber(publisher, ICAO, archivedCount, item))
                return fmt::format("archive/thirdparty/{}/{}.xml", lf_withEscapedBlanks(publisher), ICAO);
        }
    }
    gf_addScanMessage(fmt::format("thirdparty {} {} does not exist", publisher, ICAO));
    return std::nullopt;
}

bool lf_linkThirdpartyAirport(const std::string& publisher, const AirportFile& file, std::uint32_t& archivedCount)
{
    const std::optional<std::string> archivePath = lf_findThirdpartyArchive(publisher, file.ICAO, archivedCount);
    if (!archivePath || !lf_writeLinkFile(g_myThirdpartyFolder, file.ICAO, *archivePath))
        return false;
    gf_addScanMessage(fmt::format("thirdparty airport {} linked to {}", file.ICAO, *archivePath));
    return true;
}

std::string lf_makeUniqueStandName(const std::string& base, std::size_t rank)
{
    return base + std::string(kGroupSuffixes.at(rank));
}

void lf_sortAndNameStands(AirportFile& file)
{
    for (;;) {
        const auto first = std::find_if(file.stands.begin(), file.stands.end(),
                                         [](const Stand& stand) { return stand.nameSuffixed; });
        if (first == file.stands.end())
            return;
        first->nameSuffixed = false;
        const std::string base = first->name.substr(0, first->name.size() - 1);
        std::vector<Stand*> group = lf_standGroup(file, base);
        // Temporary names first, so that no two stands share a name while the group is renamed.
        for (std::size_t i = 0; i < group.size(); ++i) {
            group[i]->nameSuffixed = false;
            group[i]->name = fmt::format("tolme{}", i + 1);
        }
        const auto larger = [](const Stand* a, const Stand* b) { return a->radius > b->radius; };
        std::stable_sort(group.begin(), group.end(), larger);
        for (std::size_t rank = 0; rank < group.size() && rank < kGroupSuffixes.size(); ++rank)
            group[rank]->name = lf_makeUniqueStandName(base, rank);
    }
}

void gf_forgetGeneratedAirports()
{
    std::lock_guard lock(generatedMutex);
    generatedFrom.clear();
}

void lf_generateAirportFile(AirportFile& file, std::uint32_t helipadCount, std::uint64_t sceneryOrder)
{
    const std::size_t n = file.stands.size();
    if (n == 0)
        return;
    const ScanMessageBatch messages; // added once the lock is released
    GeneratedFrom& entry = lf_generatedEntry(file.ICAO);
    std::lock_guard lock(entry.writing);
    const std::filesystem::path& folder = gf_generatedAirportFolder(file.publisher);
    const std::filesystem::path path = folder / (file.ICAO + ".xml");
    if (lf_placeTakenByUser(path, "Generating") || !lf_takesPrecedence(entry, file, sceneryOrder))
        return;
    std::string report = fmt::format("Generated {}: {} position{}", file.ICAO + ".xml", n, n > 1 ? "s" : "");
    if (helipadCount > 0)
        report += fmt::format(", of which {} helipad{}", helipadCount, helipadCount == 1 ? "" : "s");
    gf_addScanMessage(report);
    std::sort(file.stands.begin(), file.stands.end(), [](const Stand& a, const Stand& b) { return a.name < b.name; });
    if (lf_writeGeneratedApf(file, folder, path))
        g_addonAirportsFound.store(true);
    else
        gf_addScanMessage(fmt::format("{}Generating {} did not succeed", kWarningMark, path.string()));
}
