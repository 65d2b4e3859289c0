#pragma once
// The edit boxes of the main window: what an Enter in each box does. A value typed into a box
// takes effect only on Enter; every rejected input leaves the setting unchanged, says why on
// the message line and writes the stored value back into the box. GUI thread.

#include "core/geodesy.h"
#include "params/parameters.h"
#include "run/run_flags.h"

#include <cstdint>
#include <string>

// Enter in the box with that control id; false when no edit box has that id.
bool gf_textBoxEnter(std::uint16_t controlId);

void gf_intTextBoxEnter(IntTextBox& box);
void gf_floatTextBoxEnter(FloatTextBox& box);
void gf_stringTextBoxEnter(StringTextBox& box);

// Reads, checks and stores the typed number; true when the value changed. The box shows the
// value afterwards in every case.
bool lf_processTbInt(IntTextBox& box);
bool lf_processTbFloat(FloatTextBox& box);

// While static parking runs: tells when a parking change takes effect (at the next multiple of
// 15 ticks) and requests the recalculation.
void lf_showRespondDelay();

// The box's text, at most 2047 UTF-16 characters; empty (and logged) when it is no valid text.
std::string lf_getTextBoxText(const ParameterControl& control);

void lf_installPathEntered(const std::string& text);
void lf_blockCallsign();
void lf_unblockCallsign();
void lf_setDestination();
// lf_newDestination: run/run_flags.h.

// std::stoi and std::stof rules (leading white space, a sign, trailing characters ignored),
// without the library's locale and with the texts the messages expect: std::invalid_argument
// "invalid stoi argument" / "invalid stof argument" for no number (also NaN and infinity),
// std::out_of_range "stoi argument out of range" / "stof argument out of range".
int gf_parseStoi(const std::string& text);
float gf_parseStof(const std::string& text);
