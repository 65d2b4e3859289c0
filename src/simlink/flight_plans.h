#pragma once
// AI flight plans: for an aircraft with an origin and a destination the program writes a minimal
// AceXML flight plan into its flight-plan folder (in the per-user data folder) and hands the
// file to the simulator, which then shows the aircraft's route.

#include "simlink/ac_category.h"

#include <cstdint>
#include <filesystem>
#include <string>

// What a flight plan carries of its aircraft.
struct FlightPlanRoute {
    AcCategory category = AcCategory::Light; // Buzjets, Large and Heavy fly IFR, the others VFR
    std::string origin;      // airport codes as received from outside, written escaped
    std::string destination;
};

// Stores the folder's path (g_flightPlanFolder) and creates the folder when it is missing;
// file-system errors pass on as exceptions.
void gf_createFlightPlanFolder();
std::filesystem::path gf_flightPlanFolderPath();
// "{object id}.pln"
std::string gf_flightPlanFileName(std::uint32_t objectId);
// The eight lines of the plan; `& < > "` in the airport codes are written as entities.
std::string gf_flightPlanText(const FlightPlanRoute& route);
// Writes the file (through a temporary file and a rename); false when it cannot be written.
bool gf_writeFlightPlan(const std::filesystem::path& path, const FlightPlanRoute& route);
// Writes the object's plan and hands it to the simulator (request 110) under simConnectMutex.
// False, with the warning "{label} creating a flight plan failed", when either fails.
bool gf_giveFlightPlan(std::uint32_t objectId, const FlightPlanRoute& route, const std::string& label);
// Removes the folder with everything in it; errors are logged. True when the folder existed.
bool gf_removeFlightPlanFolder();
