#pragma once
// The main window's child controls: where each setting's control stands, their creation, and
// the lock of the parking controls. Control ids and rows belong to the settings
// (params/parameters.h); the x position and width of each control are the window's.

#include "airports/parking_controls.h"
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

// The parking controls and their lock: airports/parking_controls.h.
