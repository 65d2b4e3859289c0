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

// The work thread never waits for a file: its plans are written and deleted, in the order they
// were queued, by the flight-plan worker (a thread of its own, started with the first plan).
// The worker hands a plan to the simulator (gf_giveFlightPlan) only once its file is written.
void gf_queueFlightPlan(std::uint32_t objectId, FlightPlanRoute route, std::string label);
// Deletes the object's plan file; a plan of the object still waiting to be written is dropped,
// so that the simulator is never asked to read it. A file that cannot be deleted is logged.
void gf_queueFlightPlanDeletion(std::uint32_t objectId, std::string label);
// Returns once every plan queued before the call is written and given or deleted.
void gf_waitForFlightPlans();
// Ends the worker once the job it does is done: the jobs still queued are dropped, as the folder
// goes with every file in it and the simulator connection has closed. A later plan starts it
// again.
void gf_endFlightPlanWorker();
// Removes the folder with everything in it once the worker has ended (gf_endFlightPlanWorker);
// errors are logged. True when the folder existed.
bool gf_removeFlightPlanFolder();
