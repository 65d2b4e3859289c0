#pragma once
// The shell as the model and livery data and the airports know it: the names under which those
// subsystems use the shell's values and calls, mapped onto the shell's own.

#include "airports/parking_controls.h"
#include "airports/traffic_range.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "params/control_port.h"
#include "params/parameters.h"
#include "params/window_fields.h"

#include <atomic>
#include <cstdint>

// The automatic range stands at its on-ground value of 10 nautical miles.
inline std::atomic<bool>& groundRangeFlag = autoRangeGroundFlag;
// The manual LATERAL_RANGE kept while the automatic range runs.
inline std::atomic<std::int32_t>& manualTrafficRange = manualLateralRange;
// The live-traffic radius in nautical miles.
inline std::atomic<double>& trafficRangeNm = g_trafficRangeNm;
// A parking setting changed while static parking is active; read and cleared by the saving of
// the learned airport file.
inline std::atomic<bool>& apfSettingsChanged = airportParametersChanged;

// Writes a float setting's value into its box (MAX_FIT_FL), formatted by gf_formatNumber.
inline void gf_updateTextBoxInt(const FloatTextBox& box)
{
    gf_updateTextBoxFloat(box);
}
