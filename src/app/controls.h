#pragma once
// The main window's child controls: where each setting's control stands, their creation, and
// the lock of the parking controls. Control ids and rows belong to the settings
// (params/parameters.h); the x position and width of each control are the window's.

#include "params/control_port.h"
#include "params/parameters.h"

#include <array>
#include <cstdint>
#include <vector>

struct ControlLayout {
    ParameterControl* control = nullptr;
    ControlKind kind = ControlKind::CheckBox;
    std::int32_t x = 0;
    std::int32_t width = 0; // edit boxes and buttons; check boxes are 12 x 12
};

// The 39 controls in their order of creation.
const std::vector<ControlLayout>& gf_controlLayout();

// Creates every control through the installed port and repaints the control area; GUI thread.
void gf_layoutControls();

// A port that can also tell whether a control takes input.
class EnabledStateQuery {
public:
    virtual ~EnabledStateQuery() = default;
    virtual bool isEnabled(ControlHandle control) = 0;
};
// Whether the setting's control exists and takes input.
bool gf_isControlEnabled(const ParameterControl& control);

// The controls that a parking calculation holds: parking_percentage, INITIAL_LOAD_ONLY,
// PARK_FAKE, PARK_SOFT, CUSTOM_MAX_PARK, MAX_FIT_FL, WEEK, "Flush static", "Re-read".
const std::array<ParameterControl*, 9>& gf_parkingControls();
// Any thread: parkingBusyFlag set, the parking controls disabled, the message line cleared.
void gf_disableParkingControls();
// Any thread: parkingBusyFlag cleared, the renewal countdown at 19, the controls enabled again.
void gf_enableParkingControls();
