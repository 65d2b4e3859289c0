#include "app_fixture.h"

#include "airports/traffic_range.h"
#include "app/application.h"
#include "app/controls.h"
#include "app/message_line.h"
#include "params/park_airport.h"
#include "run/exit.h"
#include "run/run_flags.h"
#include "run/work_thread.h"
#include "support/params_fixture.h"
#include "support/test_seams.h"

#include <pugixml.hpp>

namespace apptest {

void resetRunState()
{
    for (std::atomic<bool>* flag :
         {&rereadRequestFlag, &flushStaticRequestFlag, &blockRequestFlag, &matchingDepthChangedFlag, &parkingRequestFlag,
          &maxLiveRequestFlag, &navLightsRequestFlag, &liveryTablesResetRequestFlag, &trafficRangeRequestFlag,
          &airportParametersChanged, &parkingBusyFlag, &autoRangeGroundFlag, &staticParkingActive, &exitingFlag,
          &quitFlag})
        flag->store(false);
    startUpPhaseFlag.store(true);
    tickCounter.store(0);
    userMaxLive.store(-1);
    manualLateralRange.store(40);
    exitReason.store(ExitReason::NotYetSet);
    (void)gf_takeDestinationRequest();
    gf_setParkAirport(AirportRecord{});
    parkAirportList.clear();
    gf_resetMainWindowDisplay();
    MainWindow& w = g_mainWindow;
    w.liveryCount = 0;
    w.simaddonCount = 0;
    w.thirdpCount = 0;
    w.simaddonComplete = true;
    w.renewalCountdown = 0;
    w.addonScanAirportCount = 0;
    w.addonScanFolderText = "";
    w.reservedStandText = "";
    w.airportFileWeek = 0;
    w.parkFileOk = false;
    w.reservedStandOk = false;
    w.parkingInfoY = 399;
    gf_clearError();
    gf_resetMessageLineClock();
}

void AppTest::SetUp()
{
    gf_setExitTimings({std::chrono::milliseconds(1), std::chrono::milliseconds(1), std::chrono::milliseconds(1),
                       std::chrono::milliseconds(1)});
    gf_initAppDataFolder();
    // Every test starts without settings. On Windows the per-user folder is the Wine prefix's,
    // which the window tests share (one at a time).
    std::filesystem::remove_all(g_appDataFolder);
    paramstest::resetAllParameters();
    resetRunState();
    gf_openLog();
}

void AppTest::TearDown()
{
    EXPECT_TRUE(gf_waitForWorkThreadEnd(std::chrono::seconds(30))); // a work thread a test started
    EXPECT_TRUE(gf_waitForExitIdle(std::chrono::seconds(30)));
    gf_setExitTimings({});
    gf_closeLog();
    resetRunState();
    paramstest::resetAllParameters();
}

std::string AppTest::exitLogged() const
{
    EXPECT_TRUE(gf_waitForExitIdle(std::chrono::seconds(30)));
    const std::string log = logText();
    const std::size_t at = log.rfind("Exiting: ");
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + std::string("Exiting: ").size();
    return log.substr(start, log.find('\n', start) - start);
}

std::string logFileText(const std::filesystem::path& file)
{
    std::string text = testsupport::readFile(file);
    std::erase(text, '\r');
    return text;
}

std::string AppTest::logText() const
{
    return logFileText(folder.path() / "Log.txt");
}

std::string AppTest::storedValue(const std::string& key) const
{
    pugi::xml_document document;
    if (!document.load_file(g_parametersFile.c_str()))
        return {};
    const pugi::xpath_node node = document.select_node(("/parameters/parameter[@name='" + key + "']").c_str());
    return node ? node.node().attribute("value").value() : std::string();
}

bool AppTest::parametersFileExists() const
{
    return std::filesystem::exists(g_parametersFile);
}

std::string AppTest::messageText() const
{
    return gf_messageLineState().text;
}

bool AppTest::messageIsError() const
{
    return gf_messageLineState().isError;
}

void MemoryPortTest::SetUp()
{
    AppTest::SetUp();
    gf_setControlPort(&port);
    gf_setMessageLineSink(gf_invalidateMessageLine); // as the window does
}

void MemoryPortTest::TearDown()
{
    gf_setMessageLineSink(nullptr);
    gf_setControlPort(nullptr);
    AppTest::TearDown();
}

void MemoryPortTest::layOut()
{
    gf_layoutControls();
}

void WindowTest::SetUp()
{
    AppTest::SetUp();
    gf_buildMainWindow(std::string(kProductName), 400, 20, [this] { ++wakes; });
}

void WindowTest::TearDown()
{
    gf_destroyMainWindow();
    AppTest::TearDown();
}

} // namespace apptest
