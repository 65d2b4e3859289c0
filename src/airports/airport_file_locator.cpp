#include "airports/airport_file_locator.h"

#include "core/download.h"
#include "core/files.h"
#include "core/log.h"
#include "params/names.h"

#include <fmt/format.h>
#include <mutex>
#include <set>

namespace {

std::string lf_stockServerPath(std::string_view code)
{
    return fmt::format("archive/stock/{}.xml", code);
}

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

// Server files that could not be had in this run. The park-airport check asks every 16 seconds;
// a file missing on the server is asked for once per run, not every time.
std::mutex failedDownloadsMutex;
std::set<std::string> failedDownloads;

bool lf_downloadFailedBefore(const std::string& serverPath)
{
    std::lock_guard lock(failedDownloadsMutex);
    return failedDownloads.contains(serverPath);
}

void lf_rememberFailedDownload(const std::string& serverPath)
{
    {
        std::lock_guard lock(failedDownloadsMutex);
        failedDownloads.insert(serverPath);
    }
    gf_log(fmt::format("{} is not asked for again before the next start", gf_p3dDownloadUrl() + serverPath));
}

} // namespace

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
    const bool downloaded = gf_downloadP3dFile(lf_stockServerPath(code), localFile);
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
        return lf_stockServerPath(code);
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
    if (lf_downloadFailedBefore(serverPath))
        return false;
    if (handle && gf_downloadFile(handle, gf_p3dDownloadUrl() + serverPath, localFile, false))
        return true;
    lf_rememberFailedDownload(serverPath);
    return false;
}

void gf_forgetFailedDownloads()
{
    std::lock_guard lock(failedDownloadsMutex);
    failedDownloads.clear();
}

std::string lf_downloadApf(const std::string& serverPath, const fs::path& localFile)
{
    if (gf_downloadP3dFile(serverPath, localFile))
        return {};
    std::string message = fmt::format("failed to download: \"{}\"", gf_p3dDownloadUrl() + serverPath);
    gf_log(message);
    return message;
}
