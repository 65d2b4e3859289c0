#include "app/main_window.h"

#include "app/gui_queue.h"
#include "params/parameter_store.h"
#include "params/parameters.h"
#include "simlink/sim_state.h"
#include "traffic/traffic_status.h"

#include <array>
#include <mutex>
#include <pugixml.hpp>

namespace {

// GUI thread only (set there, called there).
WindowHooks windowHooks;
// A repaint is queued and not yet done: further invalidations ride on it.
std::atomic<bool> redrawPending{false};

// The window is small: every invalidation repaints all of it, at most once per GUI wake-up.
void lf_requestRedraw()
{
    if (redrawPending.exchange(true))
        return;
    const bool queued = gf_runOnGui([] {
        redrawPending.store(false);
        if (windowHooks.redraw)
            windowHooks.redraw();
    });
    if (!queued)
        redrawPending.store(false);
}

void lf_resetAtLimit(IntParameter& parameter, std::int32_t replacement)
{
    const std::int32_t value = parameter.value.load();
    if (value != parameter.minValue && value != parameter.maxValue)
        return;
    parameter.value.store(parameter.clamp(replacement));
    gf_saveIntParameter(parameter);
}

} // namespace

void gf_invalidateMessageLine()
{
    lf_requestRedraw();
}

void gf_redrawMainWindow()
{
    lf_requestRedraw();
}

void gf_keepWindowOnTop(bool on)
{
    gf_runOnGui([on] {
        if (windowHooks.stayOnTop)
            windowHooks.stayOnTop(on);
    });
}

void gf_setWindowHooks(WindowHooks hooks)
{
    windowHooks = std::move(hooks);
    redrawPending.store(false);
}

void gf_resetMainWindowDisplay()
{
    MainWindow& w = g_mainWindow;
    for (SharedText* text : {&w.userAcTitleText, &w.parkFileText, &w.airportFileText, &w.qualityText,
                             &w.simNameText, &w.rtVersionText, &w.userStandText})
        text->set({});
    w.staticAverageFit.store(-1.0f);
    w.liveAverageFit.store(-1.0f);
    for (std::atomic<std::uint64_t>* count : {&w.liveCount, &w.parkedLiveCount, &w.parkedStaticCount, &w.standCount})
        count->store(0);
    w.qnhDisplay.store(0);
    w.maxParkCount.store(0);
    w.maxParkPercent.store(0);
    w.updateCount.store(0);
    w.hFlag.store(false);
    w.rtPendingFlag.store(true);
    w.rtReady.store(false);
    w.simConnected.store(false);
    w.simRunningDisplay.store(false);
    w.userModelFlag.store(true);
    w.staticRenewalFlag.store(false);
    w.trafficIndicator.store(3);
    w.qnhIndicator.store(3);
    lf_requestRedraw();
}

void gf_copySimLinkStatus()
{
    const SimLinkStatus status = gf_simLinkStatus();
    MainWindow& w = g_mainWindow;
    w.simConnected.store(status.simConnected);
    w.simRunningDisplay.store(status.simRunningDisplay);
    w.userModelFlag.store(status.userModelFlag);
    w.simNameText.set(status.simNameText);
    w.userAcTitleText.set(status.userAcTitleText);
    w.userStandText.set(status.userStandText);
    gf_invalidateStatusArea();
}

void gf_copyTrafficStatus()
{
    const TrafficStatus status = gf_trafficStatus();
    MainWindow& w = g_mainWindow;
    w.trafficIndicator.store(static_cast<std::uint32_t>(status.trafficIndicator));
    w.qnhIndicator.store(static_cast<std::uint32_t>(status.qnhIndicator));
    w.qnhDisplay.store(status.qnhDisplay);
    w.rtReady.store(status.rtReady);
    w.rtVersionText.set(status.rtVersionText);
    gf_invalidateStatusArea();
}

void gf_followSubsystemStatus(bool follow)
{
    gf_setSimLinkRepaint(follow ? std::function<void()>(gf_copySimLinkStatus) : nullptr);
    gf_setTrafficStatusSink(follow ? std::function<void()>(gf_copyTrafficStatus) : nullptr);
    if (follow) {
        gf_copySimLinkStatus();
        gf_copyTrafficStatus();
    }
}

void gf_readWindowPosition()
{
    pugi::xml_document document;
    if (!gf_loadParametersDocument(document))
        return;
    for (IntParameter* parameter : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) {
        gf_readIntParameter(*parameter, document, false);
        lf_resetAtLimit(*parameter, parameter->defaultValue);
    }
}

void gf_storeWindowPosition(int left, int top)
{
    const std::int32_t previousX = MAIN_WINDOW_X.value.load();
    const std::int32_t previousY = MAIN_WINDOW_Y.value.load();
    MAIN_WINDOW_X.setValue(left);
    gf_saveIntParameter(MAIN_WINDOW_X);
    MAIN_WINDOW_Y.setValue(top);
    gf_saveIntParameter(MAIN_WINDOW_Y);
    gf_saveWindowPosition(previousX, previousY);
}

void gf_saveWindowPosition(std::int32_t previousX, std::int32_t previousY)
{
    lf_resetAtLimit(MAIN_WINDOW_X, previousX);
    lf_resetAtLimit(MAIN_WINDOW_Y, previousY);
}
