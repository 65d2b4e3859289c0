#pragma once
// The main window's reaction to a click on a check box or a button. GUI thread.

#include <cstdint>

// Flips and saves a check box and applies what its option needs at once (with a hint on the
// message line), or raises the request of a button; then repaints the control area (for any
// id). An exception is logged and the click has no further effect.
void lf_HandleWMCOMMAND(std::uint16_t controlId);
