#pragma once
// The main window as the rest of the program sees it: the display fields that other threads
// write and the window paints, and the calls that make a change visible. Nothing here needs
// the toolkit; every call is safe from any thread and does nothing while no window exists.
//
// A writer stores the field, then invalidates the area that shows it. Texts are SharedText, so
// a painted text is always a whole old or a whole new value; counters and flags are atomics.
// The message line's texts, the seconds counter and the message stamp are kept by
// app/message_line.h (read them with gf_messageLineState()).

#include "params/parameter.h"

#include <atomic>
#include <cstdint>
#include <functional>

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

// Make a change visible. Any thread.
void gf_invalidateStatusArea();
void gf_invalidateControlArea();
void gf_invalidateParkingBand();
void gf_invalidateMessageLine();

// Keeps the window above all others, or lets it go. Any thread.
void gf_setStayOnTop(bool on);

// The restart reset of the display: texts empty, the counts, averages, QNH and indicators back
// to their first values, the start-up indicator on; then the whole window is repainted.
void gf_resetMainWindowDisplay();

// The simulator connection and the traffic input keep their status themselves; while the window
// exists it follows both: every change is copied into the display fields and repainted.
void gf_followSubsystemStatus(bool follow);
void gf_copySimLinkStatus();
void gf_copyTrafficStatus();

// The window's side of the calls above, set by the window on the GUI thread (empty: none).
struct WindowHooks {
    std::function<void()> redraw;
    std::function<void(bool)> stayOnTop;
};
void gf_setWindowHooks(WindowHooks hooks);

// The window's saved position. At start: MAIN_WINDOW_X and MAIN_WINDOW_Y from parameters.xml,
// where a value at either limit of its range goes back to the default and is saved (a window
// parked off-screen comes back). Without a readable file both keep their values.
void gf_readWindowPosition();
// At the final exit: the window's left and top edges are stored and saved, limited to the
// range; a value that lands on a limit is replaced by the one stored before.
void gf_storeWindowPosition(int left, int top);
void gf_saveWindowPosition(std::int32_t previousX, std::int32_t previousY);
