#include "liveries/livery_scan.h"

#include "core/exceptions.h"
#include "core/files.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/scan_throttle.h"
#include "core/scan_workers.h"
#include "core/shell_port.h"
#include "core/text.h"
#include "liveries/ai_folders.h"
#include "liveries/aircraft_cfg.h"
#include "liveries/ivao_liveries.h"
#include "liveries/livery_data.h"
#include "liveries/livery_tables.h"
#include "liveries/plural.h"
#include "liveries/regcode_lists.h"
#include "liveries/scan_problems.h"
#include "liveries/scan_reports.h"
#include "liveries/scanned_liveries_file.h"
#include "params/control_port.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "params/window_fields.h"
#include "platform/paths.h"

#include <algorithm>
#include <deque>
#include <fmt/format.h>
#include <future>
#include <map>

namespace fs = std::filesystem;

namespace {

using LiveryList = std::list<qmx::LiveryData>;
using ScanTask = LiveryList (*)(std::int32_t, const fs::path&);
using PendingResults = std::deque<std::future<LiveryList>>;

constexpr std::int32_t kLowestPriority = 10;
constexpr std::size_t kNoDescentPathLength = 250;

std::size_t lf_scanTasksLimit()
{
    return static_cast<std::size_t>(std::max(1, g_scanTasksLimit.load()));
}

bool lf_exitRequested()
{
    return exitingFlag.load() || quitFlag.load();
}

bool lf_contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> lf_liveryFolders()
{
    std::vector<std::string> folders;
    folders.reserve(10);
    if (LIG_AUTOMATIC.value.load()) {
        lf_readP3DAddOnsAircraft(folders);
        lf_readSimObjectsCfg(folders);
        return folders;
    }
    // The manual folders are Windows path texts, as the user copied them from the simulator.
    for (const StringParameter* parameter : g_lfolderParameters) {
        const std::string value = parameter->getValue();
        if (!value.empty())
            folders.push_back(gf_pathText(platform::windowsPathToLocal(value)));
    }
    return folders;
}

// The results of one folder walk: the futures still pending, in start order, and the records
// collected so far, in collection order. Its workers run every task handed to them before the
// walk is gone.
struct FolderWalk {
    explicit FolderWalk(std::size_t limit) : workers(limit) {}
    ScanWorkers workers;
    PendingResults pending;
    LiveryList found;
};

// The walk's records joined into the scan's list in livery order; of two records in one place
// the one already in the list comes first. One stable sort and one merge per folder give what
// a merge per task gives, without the merge's pass over the whole list for every file.
void lf_mergeFolderResults(LiveryList& found)
{
    found.sort(qmx::gf_liveryBefore);
    ScannedLiveries.merge(found, qmx::gf_liveryBefore);
}

bool lf_isLiveryFile(const fs::path& path)
{
    std::string stem = gf_pathText(path.stem());
    return gf_equalsUpper(".CFG", gf_pathText(path.extension())) &&
           (gf_equalsUpper("AIRCRAFT", stem) || gf_equalsUpper("SIM", stem));
}

// Takes a scan slot for the task's whole life; the task gives it back when it ends.
std::future<LiveryList> lf_startScanTask(ScanWorkers& workers, ScanTask function, std::int32_t priority,
                                         const fs::path& file)
{
    return workers.launch(std::packaged_task<LiveryList()>([function, priority, file] { return function(priority, file); }));
}

void lf_collectOldest(FolderWalk& walk)
{
    std::future<LiveryList> oldest = std::move(walk.pending.front());
    walk.pending.pop_front();
    try {
        walk.found.splice(walk.found.end(), oldest.get());
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("liveries search aborted, futs inner, {}", e.what()));
    }
}

void lf_scanEntry(fs::recursive_directory_iterator& entry, std::int32_t priority, FolderWalk& walk)
{
    const fs::path path = entry->path();
    const std::string text = gf_pathText(path);
    if (lf_contains(text, "airport") || text.size() >= kNoDescentPathLength)
        entry.disable_recursion_pending();
    try {
        if (!fs::is_regular_file(fs::status(path)) || !lf_isLiveryFile(path))
            return;
        gf_waitForScanSlot();
        if (lf_exitRequested())
            return; // a task started now would only delay the exit
        const bool ivao = lf_contains(text, "ivao_x-csl") || lf_contains(text, "IVAO_MTL");
        walk.pending.push_back(lf_startScanTask(walk.workers, ivao ? &lf_searchIvaoLiveriesinFile : &lf_searchLiveriesinFile,
                                                priority, path));
    } catch (const std::exception& e) {
        gf_logWarning(fmt::format("liveries search in {} aborted, cause: {}", text, e.what()));
        return;
    }
    if (walk.pending.size() > static_cast<std::size_t>(std::max(1, g_scanTasksLimit.load())))
        lf_collectOldest(walk);
}

void lf_sortAndDeduplicate()
{
    // The folders' results were merged in livery order; only the data base's corrections can have
    // moved a livery out of it.
    if (ScannedLiveries.size() >= 2 && !std::is_sorted(ScannedLiveries.begin(), ScannedLiveries.end(), qmx::gf_liveryBefore))
        ScannedLiveries.sort(qmx::gf_liveryBefore);
    ScannedLiveries.unique();
}

} // namespace

void lf_keepPrioritizedLiveries()
{
    std::map<std::pair<std::string, std::string>, std::int32_t> best;
    for (const qmx::LiveryData& livery : ScannedLiveries) {
        const auto [it, inserted] = best.try_emplace({livery.airline, livery.model}, livery.priority);
        if (!inserted)
            it->second = std::min(it->second, livery.priority);
    }
    ScannedLiveries.remove_if([&best](const qmx::LiveryData& livery) {
        return livery.priority > best.at({livery.airline, livery.model});
    });
}

void lf_scanSimObjectsFolder(std::int32_t priority, const fs::path& folder)
{
    FolderWalk walk(lf_scanTasksLimit());
    try {
        for (fs::recursive_directory_iterator entry(folder), end; entry != end && !lf_exitRequested();) {
            lf_scanEntry(entry, priority, walk);
            ++entry; // a folder that cannot be opened ends the walk
        }
    } catch (const std::exception& e) {
        gf_logWarning(
            fmt::format("liveries search in folder {} aborted because of iterator problem: {}", gf_pathText(folder), e.what()));
        // Their results are dropped, but the tasks still claim titles and add problem lines:
        // the scan goes on (and may clear those collections) only after all of them have ended.
        for (const std::future<LiveryList>& result : walk.pending)
            result.wait();
        lf_mergeFolderResults(walk.found);
        return;
    }
    for (std::future<LiveryList>& result : walk.pending) {
        try {
            walk.found.splice(walk.found.end(), result.get());
        } catch (const std::exception& e) {
            gf_logWarning(fmt::format("liveries search aborted, futs outer, {}", e.what()));
        }
    }
    lf_mergeFolderResults(walk.found);
}

void lf_scanLfolder(ScanProgress& progress, const std::string& folder)
{
    if (folder.empty())
        return;
    const fs::file_status status = fs::status(gf_pathFromText(folder));
    if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) {
        gf_logLine(folder + " does not exist, skipped!");
        return;
    }
    if (!fs::is_directory(status)) {
        gf_logLine(folder + " is not a folder name, skipped!");
        return;
    }
    const std::string label = "found in " + folder;
    if (progress.priority < kLowestPriority)
        ++progress.priority;
    if (lf_exitRequested())
        return;
    lf_scanSimObjectsFolder(progress.priority, gf_pathFromText(folder));
    const std::uint64_t size = ScannedLiveries.size();
    if (size == 0) {
        gf_logLine(fmt::format("No liveries {}", label));
        return;
    }
    const std::uint64_t added = size - progress.sizeBefore;
    gf_logLine(fmt::format("{} liverie{} {}", added, gf_plural(added), label));
    progress.total += added;
    progress.sizeBefore = size;
}

bool lf_scanLiveries(const std::vector<std::string>& folders)
{
    // A scan cut short by an exit left its titles and problem lines behind; this one starts afresh.
    ScannedLiveries.clear();
    lf_clearScanCollections();
    lf_removePreviousScanFiles();
    lf_readAigRegcodes();
    ScanProgress progress;
    for (const std::string& folder : folders)
        lf_scanLfolder(progress, folder);
    if (lf_exitRequested()) {
        ScannedLiveries.clear();
        lf_clearScanCollections();
        return true;
    }
    if (ScannedLiveries.empty()) {
        g_mainWindow.liveryCount = 0;
        gf_invalidateStatusArea();
        lf_clearScanCollections();
        gf_withdrawMessage();
        return false;
    }
    if (folders.size() >= 2)
        gf_logLine(fmt::format("{} in total", progress.total));
    for (qmx::LiveryData& livery : ScannedLiveries)
        lf_updateLiveryFromDbase(livery);
    if (LIG_PRIORITIZE.value.load())
        lf_keepPrioritizedLiveries();
    lf_sortAndDeduplicate();
    lf_writeLiveriesScanned();
    ScannedLiveries.clear();
    lf_writeScanErrorReport();
    lf_clearScanCollections();
    gf_withdrawMessage();
    return true;
}

void gf_scanLiveries()
{
    if (!SCAN_LIVERIES.value.load()) {
        lf_processScannedLiveries();
        return;
    }
    const bool automatic = LIG_AUTOMATIC.value.load();
    const char* mode = LIG_PRIORITIZE.value.load() && !automatic ? "prioritized " : "";
    gf_reportMessage(fmt::format("Scanning {} for liveries ...", mode), false);
    gf_logLine(fmt::format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                           automatic ? "automatic" : "manual"));
    const std::vector<std::string> folders = lf_liveryFolders();
    if (!automatic && folders.empty())
        throw qmx::UserErrorException(
            48, "Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries automatic)");
    if (!lf_scanLiveries(folders)) {
        if (!automatic)
            throw qmx::UserErrorException(53, "no liveries found");
        throw qmx::UserErrorException(43, "Automatic scan has not found any liveries, switch off automatic and set "
                                          "lfolder parameter(-s), Manual 5.1");
    }
    // A scan cut short by an exit wrote nothing; switched off all the same, it is taken up again
    // by the next start, which finds LiveriesScanned.xml gone.
    SCAN_LIVERIES.value = false;
    gf_saveBoolParameter(SCAN_LIVERIES);
    gf_setCheckMark(SCAN_LIVERIES, false);
    gf_invalidateStatusArea();
    gf_invalidateControlArea();
    gf_logLine("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    lf_processScannedLiveries();
}
