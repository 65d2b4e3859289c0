#include "params/names.h"

#include "core/files.h"
#include "core/windows_glue.h"

#include <fmt/format.h>

const fs::path g_docsFolder = "docs";
const fs::path g_inputFolder = "input";
const fs::path g_outputFolder = "output";
const fs::path g_infoName = "info";
const fs::path g_errorsName = "errors";
const fs::path g_airportsFolder = "airports";
const fs::path g_learnedName = "learned";
const fs::path g_stockName = "stock";
const fs::path g_simaddonName = "simaddon";
const fs::path g_thirdpartyName = "thirdparty";
const fs::path g_insideSystemsFolder = "InsideSystems";
const fs::path g_tbloFolder = "TBLO";
const fs::path g_installerFile = "install_new_version.exe";
const fs::path g_parametersName = "parameters.xml";
const fs::path g_airportsDbName = "airports_p3d.xml";
const fs::path g_airportFile = "airport.xml";
const fs::path g_aigRegcodesArchive = "AIG-regcodes.zip";

const fs::path g_outputInfoFolder = g_outputFolder / g_infoName;
const fs::path g_outputErrorsFolder = g_outputFolder / g_errorsName;
const fs::path g_liveriesScannedFile = g_outputFolder / "LiveriesScanned.xml";
const fs::path g_airportsScanLogFile = g_outputInfoFolder / "AirportsScanLog.txt";
const fs::path g_stockAirportsLogFile = g_outputInfoFolder / "StockAirportsLog.txt";
const fs::path g_aircraftCfgNoFltsimFile = g_outputInfoFolder / "AircraftCfgWithNoFltsimSection.txt";
const fs::path g_airlineModelConversionsFile = g_outputInfoFolder / "AirlineModelConversions.txt";
const fs::path g_liveriesSkippedOnPriorityFile = g_outputInfoFolder / "LiveriesSkippedOnPriority.txt";
const fs::path g_offlineRegcodesFile = g_outputInfoFolder / "OfflineRegcodes.txt";
const fs::path g_inlineRegcodesFile = g_outputErrorsFolder / "InlineRegcodes.txt";
const fs::path g_invalidAirlineCodesFile = g_outputErrorsFolder / "InvalidAirlineCodes.txt";
const fs::path g_invalidAircraftCodesFile = g_outputErrorsFolder / "InvalidAircraftCodes.txt";
const fs::path g_fixesFile = g_outputErrorsFolder / "Fixes.txt";
const fs::path g_invalidAircraftCfgFilesFile = g_outputErrorsFolder / "InvalidAircraftCfgFiles.txt";
const fs::path g_incompleFltsimSectionsFile = g_outputErrorsFolder / "IncompleFltsimSections.txt";
const fs::path g_myRegcodesFolder = g_inputFolder / "my_regcodes";
const fs::path g_airportsDbFile = g_inputFolder / g_airportsDbName;
const fs::path g_aigRegcodesFile = g_inputFolder / "AIG-regcodes.xml";
const fs::path g_dbaseFile = g_inputFolder / "temp2.xml";
const fs::path g_learnedFolder = g_airportsFolder / g_learnedName;
const fs::path g_learnedStockFolder = g_learnedFolder / g_stockName;
const fs::path g_learnedSimaddonFolder = g_learnedFolder / g_simaddonName;
const fs::path g_learnedThirdpartyFolder = g_learnedFolder / g_thirdpartyName;
const fs::path g_myOrbxFolder = g_airportsFolder / "my_ORBX";
const fs::path g_myThirdpartyFolder = g_airportsFolder / "my_thirdparty";
const fs::path g_myParkAirportsFile = g_airportsFolder / "my_park_airports.txt";
const fs::path g_parkAirportFile = g_airportsFolder / "park_airport.xml";

namespace {

bool appDataFallback = false;

// Without a per-user data folder the settings stay in a folder of the same name in the working
// folder, so that they are still kept from one run to the next.
fs::path lf_userFolder()
{
    const fs::path base = gf_appDataFolder();
    appDataFallback = base.empty();
    return base / kProductName;
}

} // namespace

fs::path g_appDataFolder = lf_userFolder();
std::string g_parametersFile = gf_pathText(g_appDataFolder / g_parametersName);
fs::path g_flightPlanFolder = g_appDataFolder / "orig_dest";

void gf_initAppDataFolder()
{
    g_appDataFolder = lf_userFolder();
    g_parametersFile = gf_pathText(g_appDataFolder / g_parametersName);
    g_flightPlanFolder = g_appDataFolder / "orig_dest";
}

bool gf_appDataFolderFellBack()
{
    return appDataFallback;
}

std::string gf_formatWithProductName(std::string_view format)
{
    return fmt::format(fmt::runtime(format), kProductName, kProductName);
}
