#pragma once
// The lock of the parking controls: a static-parking calculation holds them while it runs.

#include "params/parameters.h"

#include <array>

// The controls that a parking calculation holds: parking_percentage, INITIAL_LOAD_ONLY,
// PARK_FAKE, PARK_SOFT, CUSTOM_MAX_PARK, MAX_FIT_FL, WEEK, "Flush static", "Re-read".
const std::array<ParameterControl*, 9>& gf_parkingControls();
// Any thread: parkingBusyFlag set, the parking controls disabled, the message line cleared.
void gf_disableParkingControls();
// Any thread: parkingBusyFlag cleared, the renewal countdown at 19, the controls enabled again.
void gf_enableParkingControls();
