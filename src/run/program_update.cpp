#include "run/program_update.h"

#include "core/download.h"
#include "core/exceptions.h"
#include "core/files.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "params/names.h"

#include <fmt/format.h>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string lf_installerArchiveName(const ProgramVersion& version)
{
    return fmt::format("setup_{}_d_v{}.zip", kProductName, gf_versionText(version));
}

// The installer lies in the folder the program runs from.
fs::path lf_installerPath()
{
    return fs::current_path() / g_installerFile;
}

} // namespace

void gf_checkForProgramUpdate()
{
    ProgramVersion newest;
    {
        CurlHandle curl = gf_newCurlHandle();
        gf_downloadVersion(curl.get(), newest, gf_downloadBase() + "release/version_P3D.json");
    }
    if (newest == ProgramVersion{}) {
        gf_logWarning("Program Version file not found?");
        return;
    }
    if (!(g_programVersion < newest))
        return;
    if (!lf_downloadNewVersion(newest)) {
        gf_reportMessage("The downloading/unzipping of the new version failed? Try manually via dolvenar website", true);
        return;
    }
    throw qmx::UserErrorException(
        99, fmt::format("New version {} available. Exit here, and run as administrator:   \"{}\"", gf_versionText(newest),
                        lf_installerPath().string()));
}

bool lf_downloadNewVersion(const ProgramVersion& version)
{
    const std::string archiveName = lf_installerArchiveName(version);
    const fs::path archive = archiveName;
    CurlHandle curl = gf_newCurlHandle();
    bool result = false;
    if (!gf_downloadFile(curl.get(), gf_downloadBase() + "release/" + archiveName, archive, true)) {
        gf_reportMessage(fmt::format("Downloading program installer file version {} failed", gf_versionText(version)), true);
    } else {
        gf_log(fmt::format("downloaded {}", archive.string()));
        ZipArchive zip(archive);
        if (!zip.open()) {
            gf_logWarning(fmt::format("could not open {}", archive.string()));
        } else {
            // Every file entry replaces the one before (folder entries hold nothing); the
            // installer is good only when none failed.
            bool anyWritten = false;
            bool allWritten = true;
            for (const ZipEntry& entry : zip.getEntries()) {
                if (!entry.isFile())
                    continue;
                bool written = false;
                lf_unzipEntryToFile(written, archive, entry);
                anyWritten = true;
                allWritten = allWritten && written;
            }
            zip.close();
            result = anyWritten && allWritten;
            // A damaged installer is not left for the user to run.
            if (!result)
                gf_removeFileIfExists(lf_installerPath());
        }
    }
    gf_removeFileIfExists(archive);
    return result;
}

void lf_unzipEntryToFile(bool& result, const fs::path& archive, const ZipEntry& entry)
{
    const fs::path installer = lf_installerPath();
    gf_removeFileIfExists(installer);
    std::ofstream out(installer, std::ios::binary | std::ios::trunc);
    const int error = out ? entry.readContent(out, 524288) : -1;
    if (error != 0) {
        gf_logWarning(fmt::format("unzipping error code : {}", error));
        result = false;
        return;
    }
    gf_log(fmt::format("{} unzipped to {}", archive.string(), installer.string()));
    out.close();
    result = true;
}
