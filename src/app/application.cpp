#include "app/application.h"

#include "app/app_messages.h"
#include "app/gui_queue.h"
#include "app/main_window.h"
#include "app/message_line.h"
#include "app/shell_connection.h"
#include "app/window_toolkit.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "params/control_port.h"
#include "params/names.h"
#include "params/parameters.h"
#include "run/exit.h"
#include "run/startup.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fmt/format.h>
#include <thread>

namespace {

std::atomic<bool> quitPosted{false};
bool windowBuilt = false; // GUI thread

void lf_startWorkThread()
{
    try {
        startUpThread = std::thread(lf_startUpOrva);
        startUpThread.detach();
    } catch (...) {
        gf_reportException("WndProc");
    }
}

void lf_finalExit()
{
    if (windowBuilt) {
        int left = 0;
        int top = 0;
        gf_toolkitWindowPosition(left, top);
        gf_storeWindowPosition(left, top);
    }
    gf_closeLog();
    quitPosted.store(true);
}

void lf_onAppMessage(AppMessage message)
{
    switch (message) {
    case AppMessage::StartUp:
        lf_startWorkThread();
        break;
    case AppMessage::FinalExit:
        lf_finalExit();
        break;
    }
}

void lf_ensureDataFolder()
{
    namespace fs = std::filesystem;
    std::error_code error;
    if (g_appDataFolder.empty()) {
        gf_showError("The per-user data folder is unknown: settings cannot be kept");
        return;
    }
    if (!fs::exists(g_appDataFolder, error) && !error)
        fs::create_directory(g_appDataFolder, error);
    if (error)
        gf_showError(fmt::format("{}: {}", g_appDataFolder.string(), error.message()));
}

int lf_messageLoop()
{
    while (!quitPosted.load()) {
        gf_drainGuiQueue();
        if (quitPosted.load() || !gf_waitForWindowEvents())
            break;
    }
    return 0;
}

// Waits for the main-window object to be complete, at most 18 x 50 ms.
bool lf_waitUntilReady()
{
    for (int i = 0; i < 18 && !g_mainWindow.readyFlag.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return g_mainWindow.readyFlag.load();
}

} // namespace

void gf_closeBoxClicked()
{
    gf_showMessage(fmt::format("Close window button clicked, closing {} ...", kProductName), false);
    gf_requestExit(ExitReason::UserClosedSim, 0);
}

void gf_buildMainWindow(const std::string& title, int x, int y, std::function<void()> wake)
{
    gf_destroyMainWindow();
    quitPosted.store(false);
    gf_openGuiQueue(std::move(wake));
    gf_setControlPort(&gf_toolkitControlPort());
    gf_makeToolkitWindow(title, x, y);
    windowBuilt = true;
    gf_setWindowHooks({gf_redrawToolkitWindow, gf_setToolkitStayOnTop});
    gf_setMessageLineSink(gf_invalidateMessageLine);
    gf_followSubsystemStatus(true);
    gf_setAppMessageHandler(lf_onAppMessage);
}

void gf_destroyMainWindow()
{
    if (!windowBuilt)
        return;
    gf_setAppMessageHandler(nullptr);
    gf_followSubsystemStatus(false);
    gf_setMessageLineSink(nullptr);
    gf_setWindowHooks({});
    gf_setControlPort(nullptr);
    gf_closeGuiQueue();
    gf_dropToolkitWindow();
    windowBuilt = false;
}

bool gf_quitPosted()
{
    return quitPosted.load();
}

bool gf_createMainWindow(const std::string& title)
{
    if (!lf_waitUntilReady())
        return false;
    gf_readWindowPosition();
    if (!gf_openWindowSystem())
        return false;
    gf_buildMainWindow(title, MAIN_WINDOW_X.value.load(), MAIN_WINDOW_Y.value.load(), gf_toolkitWake());
    return gf_showToolkitWindow();
}

int gf_runApplication()
{
    gf_connectShell();
    if (!gf_createMainWindow(std::string(kProductName))) {
        if (gf_logIsOpen())
            gf_log("initInstance failed");
        return 0;
    }
    lf_ensureDataFolder();
    gf_postAppMessage(AppMessage::StartUp);
    const int code = lf_messageLoop();
    gf_destroyMainWindow();
    return code;
}
