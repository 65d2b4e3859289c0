#pragma once
// What the SimConnect thread learns of the simulator and of the user aircraft, for the run, the
// engine and the window. The SimConnect thread writes all of it; the flags are atomic, texts
// and the user-aircraft block are handed out as whole copies.

#include "core/geodesy.h"
#include "params/parameter.h"
#include "simconnect/simconnect_protocol.h"
#include "simlink/ac_category.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// The user aircraft as data definition 403 delivers it (96 bytes, in this order).
struct UserAcData {
    double latitude = 0.0;       // degrees
    double longitude = 0.0;      // degrees
    double pitch = 0.0;          // radians
    double bank = 0.0;           // radians
    double heading = 0.0;        // radians, true
    double altitude = 0.0;       // feet; a negative value is stored as 0
    double altAboveGround = 0.0; // feet
    double groundVelocity = 0.0; // knots
    std::int64_t zuluTime = 0;   // seconds of the day
    std::int64_t zuluDayOfYear = 0; // 1 = 1 January
    std::int64_t zuluYear = 0;
    std::int64_t lightStates = 0; // mask
};
static_assert(sizeof(UserAcData) == 96);

// The simulator's flight runs ("Sim" event); cleared by QUIT and when the connection ends.
extern std::atomic<bool> simRunningFlag;
// A tick is pending: raised at every arrival of the user's on-ground data (once a second);
// the main loop consumes it with a compare-exchange from true to false.
extern std::atomic<bool> tickFlag;
// The simulator has placed the user aircraft (a block outside the not-yet-known box arrived
// before the last on-ground reply), and its on-ground flag.
extern std::atomic<bool> userPositionValid;
extern std::atomic<bool> userOnGround;
// The first user-aircraft block of this run has arrived.
extern std::atomic<bool> userAcDataValid;
// The user aircraft's object id; objects at or below it are never moved, removed or bound.
extern std::atomic<std::uint32_t> userObjectId;
inline constexpr std::uint32_t kInitialUserObjectId = 2;

// The user aircraft's model data, set from its ATC MODEL and title.
extern SharedText userAcTitle; // at most 48 characters
extern SharedText userAcModel;
extern std::atomic<double> userHalfWingspan; // nautical miles
extern std::atomic<bool> userHalfWingspanValid;
extern std::atomic<AcCategory> userAcCategory;

// The simulator's zulu time as Unix seconds; kept while the traffic client is the professional
// edition.
extern std::atomic<std::int64_t> simUnixTime;
// 5 or 6: the simulator version the run expects when the install path does not tell.
extern std::atomic<std::int32_t> expectedSimVersion;

// Frames per second, stored every 30 frames.
float gf_simFrameRate();

// A copy of the latest user-aircraft block, never torn by the SimConnect thread's write.
UserAcData gf_liveUserAcData();

// gf_inNotYetKnownBox (a position the simulator has not placed yet): core/geodesy.h.

// The run's own copy of the user aircraft (refreshed by the work thread from
// gf_getUserAcPosition) and the stand it stands on. Work thread only.
extern UserAcData userAc;
extern std::string userAcStand;

// The connection's indicators and texts for the main window.
struct SimLinkStatus {
    bool simConnected = false;
    bool simRunningDisplay = false;
    bool userModelFlag = false; // the user aircraft's wing span is known
    std::string simNameText;    // "{name} ({major}.{minor}.{build}.{revision})"
    std::string userAcTitleText;
    std::string userStandText;
};
SimLinkStatus gf_simLinkStatus();
// Called after every change of the status (on the thread that changed it); the window
// repaints from it. Null: nobody is told.
void gf_setSimLinkRepaint(std::function<void()> repaint);
