#include "airports/parking_controls.h"

#include "core/run_state.h"
#include "core/shell_port.h"
#include "params/control_port.h"
#include "params/window_fields.h"

const std::array<ParameterControl*, 9>& gf_parkingControls()
{
    static const std::array<ParameterControl*, 9> controls = {
        &parking_percentage, &INITIAL_LOAD_ONLY, &PARK_FAKE,          &PARK_SOFT,     &CUSTOM_MAX_PARK,
        &MAX_FIT_FL,         &WEEK,              &g_flushStaticButton, &g_rereadButton};
    return controls;
}

void gf_disableParkingControls()
{
    parkingBusyFlag.exchange(true);
    for (ParameterControl* control : gf_parkingControls())
        gf_disableControl(*control);
    gf_withdrawMessage();
    gf_invalidateControlArea();
}

void gf_enableParkingControls()
{
    parkingBusyFlag.store(false);
    g_mainWindow.renewalCountdown.store(19);
    gf_invalidateControlArea();
    const std::array<ParameterControl*, 9> enableOrder = {
        &CUSTOM_MAX_PARK, &parking_percentage, &INITIAL_LOAD_ONLY, &PARK_SOFT,     &PARK_FAKE,
        &MAX_FIT_FL,      &WEEK,               &g_flushStaticButton, &g_rereadButton};
    for (ParameterControl* control : enableOrder)
        gf_enableControl(*control);
    gf_withdrawMessage();
    gf_invalidateControlArea();
}
