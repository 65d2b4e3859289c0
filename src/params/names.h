#pragma once
// The fixed names of the program's files and folders. All are relative to the working folder,
// which must be the program's own folder, except the per-user data folder and what lies in it
// (parameters.xml and the flight-plan folder).

#include <filesystem>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

inline constexpr std::string_view kProductName = "Orvanta_P3D";

// Single names.
extern const fs::path g_docsFolder;          // "docs": must exist, else start-up stops
extern const fs::path g_inputFolder;         // "input"
extern const fs::path g_outputFolder;        // "output"
extern const fs::path g_infoName;            // "info", below output
extern const fs::path g_errorsName;          // "errors", below output
extern const fs::path g_airportsFolder;      // "airports"
extern const fs::path g_learnedName;         // "learned", below airports
extern const fs::path g_stockName;           // "stock", below airports/learned
extern const fs::path g_simaddonName;        // "simaddon", below airports/learned
extern const fs::path g_thirdpartyName;      // "thirdparty", below airports/learned
extern const fs::path g_insideSystemsFolder; // "InsideSystems": the traffic client's installation
extern const fs::path g_tbloFolder;          // "TBLO": results of the add-on airport scan
extern const fs::path g_installerFile;       // "install_new_version.exe"
extern const fs::path g_parametersName;      // "parameters.xml"
extern const fs::path g_airportsDbName;      // "airports_p3d.xml"
extern const fs::path g_airportFile;         // "airport.xml"
extern const fs::path g_aigRegcodesArchive;  // "AIG-regcodes.zip"

// Joined names.
extern const fs::path g_outputInfoFolder;             // output/info
extern const fs::path g_outputErrorsFolder;           // output/errors
extern const fs::path g_liveriesScannedFile;          // output/LiveriesScanned.xml
extern const fs::path g_airportsScanLogFile;          // output/info/AirportsScanLog.txt
extern const fs::path g_stockAirportsLogFile;         // output/info/StockAirportsLog.txt
extern const fs::path g_aircraftCfgNoFltsimFile;      // output/info/AircraftCfgWithNoFltsimSection.txt
extern const fs::path g_airlineModelConversionsFile;  // output/info/AirlineModelConversions.txt
extern const fs::path g_liveriesSkippedOnPriorityFile; // output/info/LiveriesSkippedOnPriority.txt
extern const fs::path g_offlineRegcodesFile;          // output/info/OfflineRegcodes.txt
extern const fs::path g_inlineRegcodesFile;           // output/errors/InlineRegcodes.txt
extern const fs::path g_invalidAirlineCodesFile;      // output/errors/InvalidAirlineCodes.txt
extern const fs::path g_invalidAircraftCodesFile;     // output/errors/InvalidAircraftCodes.txt
extern const fs::path g_fixesFile;                    // output/errors/Fixes.txt
extern const fs::path g_invalidAircraftCfgFilesFile;  // output/errors/InvalidAircraftCfgFiles.txt
extern const fs::path g_incompleFltsimSectionsFile;   // output/errors/IncompleFltsimSections.txt (sic)
extern const fs::path g_myRegcodesFolder;             // input/my_regcodes
extern const fs::path g_airportsDbFile;               // input/airports_p3d.xml
extern const fs::path g_aigRegcodesFile;              // input/AIG-regcodes.xml
extern const fs::path g_dbaseFile;                    // input/temp2.xml: the unpacked data base
extern const fs::path g_learnedFolder;                // airports/learned
extern const fs::path g_learnedStockFolder;           // airports/learned/stock
extern const fs::path g_learnedSimaddonFolder;        // airports/learned/simaddon
extern const fs::path g_learnedThirdpartyFolder;      // airports/learned/thirdparty
extern const fs::path g_myOrbxFolder;                 // airports/my_ORBX
extern const fs::path g_myThirdpartyFolder;           // airports/my_thirdparty
extern const fs::path g_myParkAirportsFile;           // airports/my_park_airports.txt
extern const fs::path g_parkAirportFile;              // airports/park_airport.xml

// The per-user data folder: gf_appDataFolder() joined with "Orvanta_P3D"; it holds
// parameters.xml and the flight-plan folder. When the system gives no folder (it cannot be
// made), "Orvanta_P3D" in the working folder takes its place. Asked of the system before main()
// runs; gf_initAppDataFolder asks again (for a run whose environment changed before any other
// thread started, as in tests).
extern fs::path g_appDataFolder;
extern std::string g_parametersFile;  // UTF-8 text of g_appDataFolder / "parameters.xml"
extern fs::path g_flightPlanFolder;   // g_appDataFolder / "orig_dest"
void gf_initAppDataFolder();
bool gf_appDataFolderFellBack();      // true when g_appDataFolder lies in the working folder

// The format text with the product name in both of its two {} fields.
std::string gf_formatWithProductName(std::string_view format);
