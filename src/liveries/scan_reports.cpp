#include "liveries/scan_reports.h"

#include "core/files.h"
#include "core/log.h"
#include "liveries/model_classes.h"
#include "liveries/plural.h"
#include "liveries/registrations.h"
#include "liveries/scan_problems.h"
#include "params/names.h"

#include <fmt/format.h>
#include <optional>

namespace fs = std::filesystem;

namespace {

const char* lf_boolText(bool value)
{
    return value ? "true" : "false";
}

// Sorted into its report in output/errors; `summary` has the count, the plural and the path.
void lf_writeSortedErrors(std::list<std::string>& lines, const fs::path& file, const char* summary, bool plural)
{
    lines.sort();
    fs::create_directories(g_outputErrorsFolder);
    gf_writeListToFile(lines, file);
    if (plural)
        gf_log(fmt::format(fmt::runtime(summary), lines.size(), gf_plural(lines.size()), file.string()));
    else
        gf_log(fmt::format(fmt::runtime(summary), lines.size(), file.string()));
}

void lf_writeErrorReports()
{
    if (!invalidAirlineCodes.lines.empty())
        lf_writeSortedErrors(invalidAirlineCodes.lines, g_invalidAirlineCodesFile, "{} invalid airline code{}, see {}", true);
    if (!invalidModelCodes.lines.empty())
        lf_writeSortedErrors(invalidModelCodes.lines, g_invalidAircraftCodesFile, "{} invalid model code{}, see {}", true);
    if (!codeFixes.lines.empty()) {
        fs::create_directories(g_outputErrorsFolder);
        gf_writeLinesToFile(codeFixes.lines, g_fixesFile);
        gf_log(fmt::format("{} code fixes, see {}", codeFixes.lines.size(), g_fixesFile.string()));
    }
    if (!invalidAircraftCfgFiles.lines.empty())
        lf_writeSortedErrors(invalidAircraftCfgFiles.lines, g_invalidAircraftCfgFilesFile,
                             "{} invalid aircraft.cfg files, see {}", false);
    if (!incompleteFltsimSections.lines.empty())
        lf_writeSortedErrors(incompleteFltsimSections.lines, g_incompleFltsimSectionsFile,
                             "{} incomplete [fltsim.x] sections, see {}", false);
}

void lf_writeInformationReports()
{
    if (!emptyAircraftCfgFiles.lines.empty()) {
        emptyAircraftCfgFiles.lines.sort();
        gf_writeListToFile(emptyAircraftCfgFiles.lines, g_aircraftCfgNoFltsimFile);
        gf_log(fmt::format("{} empty aircraft.cfg files, see {}", emptyAircraftCfgFiles.lines.size(),
                           g_aircraftCfgNoFltsimFile.string()));
    }
    if (!airlineModelConversions.empty()) {
        gf_writeLinesToFile(airlineModelConversions, g_airlineModelConversionsFile);
        gf_log(fmt::format("{} liveries updated with real live data from dbase, see {}", airlineModelConversions.size(),
                           g_airlineModelConversionsFile.string()));
    }
}

} // namespace

void lf_removePreviousScanFiles()
{
    try {
        for (const fs::path* file :
             {&g_aircraftCfgNoFltsimFile, &g_liveriesScannedFile, &g_liveriesSkippedOnPriorityFile,
              &g_inlineRegcodesFile, &g_invalidAirlineCodesFile, &g_invalidAircraftCodesFile, &g_fixesFile,
              &g_invalidAircraftCfgFilesFile, &g_incompleFltsimSectionsFile})
            if (fs::exists(*file))
                fs::remove(*file);
        if (fs::exists(g_outputErrorsFolder))
            fs::remove(g_outputErrorsFolder);
    } catch (const std::exception& e) {
        gf_log(fmt::format("problems with removing previous files: {}", e.what()));
    }
}

void lf_updateLiveryFromDbase(qmx::LiveryData& livery)
{
    if (livery.atcid.empty())
        return;
    const std::optional<DbaseRegRecord> record = gf_regcodeLookup(livery.atcid);
    if (!record)
        return;
    if (record->cargo != livery.cargo) {
        airlineModelConversions.push_back(fmt::format("{:80} {} cargo {} => {}", livery.title, livery.atcid,
                                                      lf_boolText(livery.cargo), lf_boolText(record->cargo)));
        livery.cargo = record->cargo;
    }
    // An empty field of the data base knows nothing better: it never blanks the livery's code.
    const std::string& airline = record->operatorCode.empty() ? record->airline : record->operatorCode;
    if (!airline.empty() && airline != livery.airline) {
        airlineModelConversions.push_back(
            fmt::format("{:80} {} airl {} => {}", livery.title, livery.atcid, livery.airline, airline));
        livery.airline = airline;
    }
    if (!record->model.empty() && record->model != livery.model) {
        airlineModelConversions.push_back(
            fmt::format("{:80} {} model {} => {}", livery.title, livery.atcid, livery.model, record->model));
        livery.model = record->model;
    }
}

void lf_writeScanErrorReport()
{
    try {
        const bool noErrors = invalidAirlineCodes.lines.empty() && invalidModelCodes.lines.empty() &&
                              codeFixes.lines.empty() && invalidAircraftCfgFiles.lines.empty() &&
                              incompleteFltsimSections.lines.empty();
        gf_log(noErrors ? "\nNo errors" : "\nErrors:");
        lf_writeErrorReports();
        gf_log("\nInformation:");
        lf_writeInformationReports();
    } catch (...) {
        // A report that cannot be written must not fail the scan; the rest is skipped.
    }
}
