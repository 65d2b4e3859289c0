#include "airports/airport_file_locator.h"

#include "core/download.h"
#include "core/files.h"
#include "core/log.h"
#include "params/names.h"

#include <chrono>
#include <fmt/format.h>
#include <map>
#include <mutex>
#include <optional>

namespace {

// Step of the precedence: the link file of the folder when it gives a path, else its XML file.
bool lf_locateInFolder(const fs::path& folder, std::string_view code, std::string& out)
{
    const fs::path link = folder / gf_airportTxtPath(code);
    if (fs::exists(link) && lf_pathFromTxtFile(link, out))
        return true;
    const fs::path xml = folder / gf_airportXmlPath(code);
    if (!fs::exists(xml))
        return false;
    out = xml.string();
    return true;
}

// Server files whose last download failed, with the time of that attempt. The park-airport
// check asks every 16 seconds; a file is asked for again at a later check once the pause has
// passed, so that a short network failure does not cost an airport its stands for the whole run.
using SteadyTime = std::chrono::steady_clock::time_point;
std::mutex failedDownloadsMutex;
std::map<std::string, SteadyTime> failedDownloads;
constexpr std::chrono::minutes kRetryPause{5};
std::chrono::steady_clock::duration retryPause = kRetryPause;

bool lf_retryPending(const std::string& serverPath, SteadyTime now)
{
    std::lock_guard lock(failedDownloadsMutex);
    const auto failed = failedDownloads.find(serverPath);
    return failed != failedDownloads.end() && now - failed->second < retryPause;
}

// True for the first failure since the file was last had.
bool lf_rememberFailedDownload(const std::string& serverPath, SteadyTime now)
{
    std::lock_guard lock(failedDownloadsMutex);
    return failedDownloads.insert_or_assign(serverPath, now).second;
}

void lf_forgetFailedDownload(const std::string& serverPath)
{
    std::lock_guard lock(failedDownloadsMutex);
    failedDownloads.erase(serverPath);
}

} // namespace

std::string gf_stockServerPath(std::string_view code)
{
    return fmt::format("archive/stock/{}.xml", code);
}

fs::path gf_airportXmlPath(std::string_view code)
{
    return fs::path(std::string(code) + ".xml");
}

fs::path gf_airportTxtPath(std::string_view code)
{
    return fs::path(std::string(code) + ".txt");
}

bool lf_pathFromTxtFile(const fs::path& linkFile, std::string& out)
{
    FileLines record{linkFile, {}};
    const std::vector<std::string>* lines = gf_readFileLines(record, 1);
    if (lines == nullptr)
        return false;
    std::string line = lines->front();
    while (!line.empty() && line.back() != 'l')
        line.pop_back();
    out = std::move(line);
    return true;
}

bool gf_stockAirportExists(std::string_view code)
{
    const fs::path localFile = gf_airportXmlPath(code);
    const bool downloaded = gf_downloadP3dFile(gf_stockServerPath(code), localFile);
    // A failed transfer may leave a part behind as well.
    if (fs::exists(localFile))
        fs::remove(localFile);
    return downloaded;
}

std::string gf_locateApf(std::string_view code)
{
    std::string path;
    if (lf_locateInFolder(g_myThirdpartyFolder, code, path) || lf_locateInFolder(g_myOrbxFolder, code, path))
        return path;
    if (gf_stockAirportExists(code))
        return gf_stockServerPath(code);
    return {};
}

bool gf_airportFileAvailable(std::string_view code)
{
    for (const fs::path& folder : {g_myThirdpartyFolder, g_myOrbxFolder}) {
        if (fs::exists(folder / gf_airportXmlPath(code)) || fs::exists(folder / gf_airportTxtPath(code)))
            return true;
    }
    return gf_stockAirportExists(code);
}

bool gf_downloadP3dFile(const std::string& serverPath, const fs::path& localFile)
{
    return gf_downloadP3dFile(gf_newCurlHandle().get(), serverPath, localFile);
}

bool gf_downloadP3dFile(CURL* handle, const std::string& serverPath, const fs::path& localFile)
{
    if (!gf_p3dDownloadDue(serverPath))
        return false;
    std::string failure;
    const bool downloaded =
        handle && gf_downloadFileQuietly(handle, gf_p3dDownloadUrl() + serverPath, localFile, false, failure);
    return gf_p3dDownloadEnded(serverPath, downloaded, failure);
}

bool gf_p3dDownloadDue(const std::string& serverPath)
{
    return !lf_retryPending(serverPath, std::chrono::steady_clock::now());
}

bool gf_p3dDownloadEnded(const std::string& serverPath, bool downloaded, const std::string& failure)
{
    if (downloaded) {
        lf_forgetFailedDownload(serverPath);
        return true;
    }
    // The server did not fail: the program ends.
    if (gf_downloadsStopped())
        return false;
    // Logged once until the file is had again, not at every later attempt.
    if (lf_rememberFailedDownload(serverPath, std::chrono::steady_clock::now())) {
        if (!failure.empty())
            gf_log(failure);
        gf_log(fmt::format("{} is asked for again at later checks, at most every {} minutes",
                           gf_p3dDownloadUrl() + serverPath, kRetryPause.count()));
    }
    return false;
}

void gf_forgetFailedDownloads()
{
    std::lock_guard lock(failedDownloadsMutex);
    failedDownloads.clear();
}

void gf_setDownloadRetryPause(std::optional<std::chrono::steady_clock::duration> pause)
{
    std::lock_guard lock(failedDownloadsMutex);
    retryPause = pause.value_or(kRetryPause);
}

std::string lf_downloadApf(const std::string& serverPath, const fs::path& localFile)
{
    if (gf_downloadP3dFile(serverPath, localFile))
        return {};
    std::string message = fmt::format("failed to download: \"{}\"", gf_p3dDownloadUrl() + serverPath);
    gf_log(message);
    return message;
}
