#include "airports/addon_airport_scan.h"

#include "airports/airport_file_locator.h"
#include "airports/airport_services.h"
#include "airports/bgl_file.h"
#include "airports/generated_airport_files.h"
#include "airports/offline_learning_queries.h"
#include "airports/stand_file.h"
#include "core/exceptions.h"
#include "core/files.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/scan_throttle.h"
#include "core/scan_workers.h"
#include "core/shell_port.h"
#include "liveries/scan_messages.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameter_store.h"
#include "params/parameters.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <fmt/format.h>
#include <future>

namespace {

constexpr std::string_view kWarningMark = "===> ";
constexpr std::string_view kSupportAddress = "support@orvanta-p3d.example";
constexpr std::size_t kFolderListReserve = 10;
constexpr std::size_t kScanMessagesReserve = 2048;

// Handles of one folder walk's tasks, oldest first.
using PendingScans = std::deque<std::future<void>>;

std::size_t lf_scanTasksLimit()
{
    return static_cast<std::size_t>(std::max(g_scanTasksLimit.load(), 1));
}

bool lf_scanStopRequested()
{
    return exitingFlag.load() || quitFlag.load();
}

// Counts the tasks of the scan in the order the walk meets their files: the scenery order.
std::uint64_t launchedScanTasks = 0;

// The task reads the file that the walk opened for its section test: each file is opened once.
std::future<void> lf_launchScanTask(ScanWorkers& workers, OpenBglFile file)
{
    const std::uint64_t order = ++launchedScanTasks;
    return workers.launch(std::packaged_task<void()>([file = std::move(file), order]() mutable {
        lf_toParkingPositions(file, [order](BglAirport&& airport) {
            airport.sceneryOrder = order;
            lf_processBglAirport(std::move(airport));
        });
    }));
}

void lf_takeTaskEnd(PendingScans& pending, PendingScans::iterator task, const fs::path& entryPath)
{
    try {
        task->get();
    } catch (const std::exception& e) {
        gf_addScanMessage(fmt::format("{} airports search aborted, futs inner, \n{}\n{}\n{}", kWarningMark, e.what(),
                                      pending.size(), entryPath.string()));
    }
    pending.erase(task);
}

// Tasks end in any order: the walk takes the ends of those that have ended, wherever they are
// in the list, and waits for the oldest only when none has. Waiting for the oldest alone would
// hold the walk while other workers have finished and wait for work.
void lf_takeEndedTasks(PendingScans& pending, const fs::path& entryPath)
{
    const std::size_t before = pending.size();
    for (auto task = pending.begin(); task != pending.end();) {
        const bool ended = task->wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        if (!ended) {
            ++task;
            continue;
        }
        const std::size_t at = static_cast<std::size_t>(task - pending.begin());
        lf_takeTaskEnd(pending, task, entryPath);
        task = pending.begin() + static_cast<std::ptrdiff_t>(at);
    }
    if (pending.size() == before)
        lf_takeTaskEnd(pending, pending.begin(), entryPath);
}

void lf_waitForAll(PendingScans& pending, const fs::path& folder)
{
    for (; !pending.empty(); pending.pop_front()) {
        try {
            pending.front().get();
        } catch (const std::exception& e) {
            gf_addScanMessage(fmt::format("{} airports search in {} aborted, futs outer error: {}", kWarningMark,
                                          folder.string(), e.what()));
        }
    }
}

// A file that the folder listing says is a plain file costs no call into the system; the status
// of other entries (folders, links) is asked for.
fs::file_status lf_entryStatus(const fs::directory_entry& entry, std::error_code& ec)
{
    if (entry.is_regular_file(ec))
        return fs::file_status(fs::file_type::regular);
    return entry.status(ec);
}

void lf_scanEntry(fs::recursive_directory_iterator& it, ScanWorkers& workers, PendingScans& pending)
{
    const fs::directory_entry& entry = *it;
    if (lf_containsStockSceneryPath(entry.path().string())) {
        it.disable_recursion_pending();
        return;
    }
    std::error_code ec;
    const fs::file_status status = lf_entryStatus(entry, ec);
    if (ec && status.type() != fs::file_type::not_found && status.type() != fs::file_type::unknown)
        throw fs::filesystem_error("status", entry.path(), ec);
    std::optional<OpenBglFile> candidate = lf_openAirportCandidate(entry, status);
    if (!candidate || lf_scanStopRequested())
        return;
    gf_waitForScanSlot();
    pending.push_back(lf_launchScanTask(workers, std::move(*candidate)));
    if (pending.size() > lf_scanTasksLimit())
        lf_takeEndedTasks(pending, entry.path());
}

void lf_reportIteratorProblem(const char* operation, const fs::path& folder, std::error_code ec)
{
    const fs::filesystem_error error(operation, folder, ec);
    gf_addScanMessage(fmt::format("{} airports search in folder {} aborted because of iterator problem: {}",
                                  kWarningMark, folder.string(), error.what()));
}

void lf_removePreviousScanLog()
{
    try {
        if (fs::exists(g_airportsScanLogFile))
            fs::remove(g_airportsScanLogFile);
    } catch (const std::exception&) {
        gf_log("problems with removing previous files (maybe still open?)");
    }
}

void lf_writeScanLog()
{
    gf_writeLinesToFile(gf_takeScanMessages(), g_airportsScanLogFile);
    gf_log(g_airportsScanLogFile.string() + " written");
    gf_withdrawMessage();
}

std::vector<std::string> lf_airportCodesIn(const fs::path& folder)
{
    std::vector<fs::path> files;
    gf_listFilesByExtension(files, folder, ".XML");
    std::vector<std::string> codes;
    for (const fs::path& file : files)
        codes.push_back(file.stem().string());
    std::sort(codes.begin(), codes.end());
    return codes;
}

void lf_logZipAndMail()
{
    gf_log("");
    gf_logWarning(fmt::format("zip folder \"{}\", and mail to \"{}\" please!\\n", fs::absolute(g_tbloFolder).string(),
                              kSupportAddress));
}

// Copies the airport file of the code to TBLO; a generated one whose airport also has a link
// file is removed, as the link leads to the archived file. False when nothing was copied.
bool lf_copyToTblo(const fs::path& folder, const std::string& code, bool orbx)
{
    const fs::path source = folder / (code + ".xml");
    const fs::path destination = g_tbloFolder / (code + ".xml");
    if (!fs::copy_file(source, destination, fs::copy_options::overwrite_existing)) {
        if (orbx)
            gf_logWarning(fmt::format("failed to copy {}", source.string()));
        else
            gf_logWarning(fmt::format("\"{}\" failed to copy \"{}\"", source.string(), destination.string()));
        return false;
    }
    gf_log(fmt::format("{} copied to {}", code, destination.string()));
    if (fs::exists(folder / (code + ".txt")) && gf_isScanMadeFile(source))
        fs::remove(source);
    return true;
}

// Once the exit has begun, the answers are those of downloads it stopped, not the server's: the
// pass ends without a verdict. False then.
bool lf_orbxPass(const std::vector<std::string>& codes)
{
    fs::create_directory(g_tbloFolder);
    std::size_t notSuitable = 0;
    std::size_t copied = 0;
    OfflineLearningQueries queries(codes);
    for (const std::string& code : codes) {
        const bool suitable = queries.next();
        if (lf_scanStopRequested())
            return false;
        if (!suitable)
            ++notSuitable;
        else if (lf_copyToTblo(g_myOrbxFolder, code, true))
            ++copied;
    }
    g_allOrbxAirportsDone = notSuitable + copied == codes.size();
    gf_invalidateStatusArea();
    if (copied > 0) {
        g_tbloAirportCount = copied;
        lf_logZipAndMail();
    } else {
        gf_log("All your ORBX airports are done, no off line learning needed.");
        fs::remove_all(g_tbloFolder);
    }
    return true;
}

// Ends without a verdict once the exit has begun, as lf_orbxPass.
void lf_thirdpartyPass(const std::vector<std::string>& codes)
{
    if (!fs::exists(g_tbloFolder))
        fs::create_directory(g_tbloFolder);
    std::size_t copied = 0;
    OfflineLearningQueries queries(codes);
    for (const std::string& code : codes) {
        const bool suitable = queries.next();
        if (lf_scanStopRequested())
            return;
        if (suitable && lf_copyToTblo(g_myThirdpartyFolder, code, false))
            ++copied;
    }
    if (copied > 0) {
        g_tbloAirportCount += copied;
        lf_logZipAndMail();
    } else {
        gf_log("All your third party airports are done, no off line learning needed.");
        if (g_tbloAirportCount.load() == 0)
            fs::remove_all(g_tbloFolder);
    }
}

void lf_prepareOfflineLearning()
{
    const std::vector<std::string> thirdparty = lf_airportCodesIn(g_myThirdpartyFolder);
    const std::vector<std::string> orbx = lf_airportCodesIn(g_myOrbxFolder);
    g_allOrbxAirportsDone = orbx.empty();
    gf_invalidateStatusArea();
    if (fs::exists(g_tbloFolder))
        fs::remove_all(g_tbloFolder);
    if (!orbx.empty() && !lf_orbxPass(orbx))
        return;
    if (!thirdparty.empty())
        lf_thirdpartyPass(thirdparty);
    gf_invalidateControlArea();
}

SceneryFolders lf_sceneryFolders()
{
    SceneryFolders folders;
    folders.reserve(kFolderListReserve);
    if (AFG_AUTOMATIC.value.load()) {
        lf_readSceneryCfg(folders);
        lf_readSceneryAddOnsXml(folders);
        return folders;
    }
    lf_checkAfolderNotStock(folders);
    if (folders.empty())
        throw qmx::UserErrorException(49, "Set afolder parameter(-s) to your add-on airports first, see Manual 6.1");
    return folders;
}

void lf_untickAirportScan()
{
    SCAN_AIRPORTS.value = false;
    gf_saveBoolParameter(SCAN_AIRPORTS);
    gf_setCheckMark(SCAN_AIRPORTS, false);
    gf_invalidateStatusArea();
    gf_invalidateControlArea();
}

void lf_removeEarlierScanFiles(const fs::path& folder)
{
    try {
        if (!fs::is_directory(folder))
            return;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            // The user's own stand files and link files live in the same folders and stay.
            if (entry.is_regular_file() && gf_isScanMadeFile(entry.path()) && !fs::remove(entry.path()))
                gf_log(folder.string() + " could not be removed");
        }
    } catch (const std::exception& e) {
        throw qmx::UserErrorException(5, e.what());
    }
}

} // namespace

std::optional<OpenBglFile> lf_openAirportCandidate(const fs::directory_entry& entry, const fs::file_status& status)
{
    const std::string text = entry.path().string();
    if (!fs::is_regular_file(status) || !lf_isBglFile(entry.path().extension().string()) ||
        text.find("statics") != std::string::npos || text.find("_heliports") != std::string::npos)
        return std::nullopt;
    OpenBglFile file(entry.path());
    if (!file.hasAirportSection())
        return std::nullopt;
    return file;
}

void lf_scanSceneryFolder(const fs::path& folder)
{
    gf_addScanMessage(std::string("Scanning for ") + "addon airports in " + folder.string());
    ScanWorkers workers(lf_scanTasksLimit());
    PendingScans pending;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, ec);
    if (ec) {
        lf_reportIteratorProblem("recursive_directory_iterator::recursive_directory_iterator", folder, ec);
        return;
    }
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
        try {
            lf_scanEntry(it, workers, pending);
        } catch (const std::exception& e) {
            gf_addScanMessage(fmt::format("{} airports search in folder {} aborted, cause: {}", kWarningMark,
                                          folder.string(), e.what()));
        }
    }
    if (ec)
        lf_reportIteratorProblem("recursive_directory_iterator::operator++", folder, ec);
    // Also after an iterator problem: the scan log is written only once no task is left.
    lf_waitForAll(pending, folder);
}

bool lf_writeAirportScanResults(const SceneryFolders& folders)
{
    lf_removePreviousScanLog();
    gf_forgetGeneratedAirports();
    g_tbloAirportCount = 0;
    g_mainWindow.addonScanFolderText = g_tbloFolder.string();
    {
        std::lock_guard lock(scanMessagesMutex);
        scanMessages.reserve(kScanMessagesReserve);
    }
    for (const std::string& folder : folders)
        lf_checkAfolders(folder, lf_scanSceneryFolder);
    lf_writeScanLog();
    lf_prepareOfflineLearning();
    const bool found = g_addonAirportsFound.load();
    if (found)
        gf_log("Airports scan successful");
    return found;
}

void gf_scanAddonAirports()
{
    gf_reportMessage("Scanning for addon airports ...", false);
    gf_log(fmt::format("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++",
                       AFG_AUTOMATIC.value.load() ? "automatic " : "manual "));
    const SceneryFolders folders = lf_sceneryFolders();
    lf_removeEarlierScanFiles(g_myOrbxFolder);
    lf_removeEarlierScanFiles(g_myThirdpartyFolder);
    const bool found = lf_writeAirportScanResults(folders);
    // The exit cut the scan short: what it removed and did not make again is made by the next
    // start, which finds the option still ticked.
    if (lf_scanStopRequested()) {
        gf_log("airports scan stopped by the exit, it runs again at the next start");
        return;
    }
    if (!found)
        gf_reportMessage("Warning: Scan has not found any add-on airports", true);
    lf_untickAirportScan();
    gf_log("-------------------------- airports scan ends    ----------------------------\n");
}
