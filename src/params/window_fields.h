#pragma once
// The main window's display fields: what other threads write and the window paints. Every
// subsystem that shows something stores the field here and then invalidates the area that shows
// it (core/shell_port.h); the shell paints them. Nothing here needs the toolkit.
//
// Texts are SharedText, so a painted text is always a whole old or a whole new value; counters
// and flags are atomics. The message line's texts are kept by the shell (app/message_line.h).

#include "params/parameter.h"

#include <atomic>
#include <cstdint>

class MainWindow {
public:
    MainWindow() = default;
    virtual ~MainWindow() = default;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Status area.
    SharedText userAcTitleText;  // TITLE of the user aircraft, at most 48 characters (simulator connection)
    SharedText simNameText;      // simulator name from the open reply (simulator connection)
    SharedText userStandText;    // stand of the user aircraft
    SharedText rtVersionText;    // version and edition of the RealTraffic client
    std::atomic<std::uint64_t> liveryCount{0};   // liveries found by the livery step
    std::atomic<std::uint64_t> simaddonCount{0}; // regular files in airports/my_ORBX
    std::atomic<std::uint64_t> thirdpCount{0};   // regular files in airports/my_thirdparty
    std::atomic<std::uint64_t> liveCount{0};     // live aircraft in the simulator, not parked
    std::atomic<std::int32_t> qnhDisplay{0};
    std::atomic<bool> simConnected{false};
    std::atomic<bool> simRunningDisplay{false};  // the simulator's flight runs
    std::atomic<bool> userModelFlag{true};       // the user aircraft's model is known
    std::atomic<bool> simaddonComplete{true};    // the last add-on airport scan processed every airport
    std::atomic<bool> rtPendingFlag{true};       // the run has not yet got past the traffic client
    std::atomic<bool> rtReady{false};            // connected to the traffic client, or no link needed
    std::atomic<std::uint32_t> trafficIndicator{3}; // reader indicators: 1 receiving, 2 no data, 3 stopped
    std::atomic<std::uint32_t> qnhIndicator{3};

    // Control area.
    std::atomic<std::uint32_t> renewalCountdown{0};      // minutes to the next static renewal
    std::atomic<std::uint64_t> addonScanAirportCount{0}; // airports counted by the last add-on airport scan
    SharedText addonScanFolderText;                      // the folder that scan wrote to

    // Parking band.
    SharedText parkFileText;     // about the park airport's stand file
    SharedText airportFileText;  // about the airport file read
    SharedText qualityText;      // quality factor of the airport file
    SharedText reservedStandText; // the stand kept for the user aircraft; empty = none
    std::atomic<std::int32_t> airportFileWeek{0}; // week number of the airport file
    std::atomic<bool> parkFileOk{false};          // the park airport's stands are loaded
    std::atomic<bool> hFlag{false};               // the airport file is hand-made
    std::atomic<bool> staticRenewalFlag{false};
    std::atomic<bool> reservedStandOk{false};
    std::atomic<std::uint64_t> standCount{0};
    std::atomic<std::uint64_t> parkedLiveCount{0};
    std::atomic<std::uint64_t> parkedStaticCount{0};
    std::atomic<float> liveAverageFit{-1.0f};   // average parked hours; -1 = none
    std::atomic<float> staticAverageFit{-1.0f};
    std::atomic<std::int32_t> maxParkCount{0};
    std::atomic<std::int32_t> maxParkPercent{0};
    std::atomic<std::uint32_t> updateCount{0};  // learned stand updates at the park airport
    std::atomic<std::int32_t> parkingInfoY{399}; // row of the first parking line

    std::atomic<bool> readyFlag{true}; // the object is complete
};

extern MainWindow g_mainWindow;
