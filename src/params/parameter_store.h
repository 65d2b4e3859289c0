#pragma once
// parameters.xml in the per-user data folder: one `parameters` root with one
// <parameter name="KEY" value="..."/> per stored setting.
//
// Every load and save of the file takes one lock, so the saves of the GUI, work and exit threads
// never interleave, and every save goes through a temporary file and a rename, so no reader ever
// sees half a file. A file that cannot be read (or has no `parameters` root) is kept beside it as
// parameters.xml.bad before defaults are written over it.

#include "params/parameters.h"

#include <cstdint>
#include <pugixml.hpp>
#include <string>
#include <string_view>

// "/parameters/parameter[@name='KEY']"; also serves the parameter block of the airport files.
std::string gf_parameterQuery(std::string_view key);

// Append <parameter name=key value=.../> to `parent`; false when the element or an attribute
// could not be added. Bools are written "true"/"false", integers in decimal.
bool gf_appendBoolParameter(pugi::xml_node parent, std::string_view key, bool value);
bool gf_appendIntParameter(pugi::xml_node parent, std::string_view key, std::int32_t value);
bool gf_appendStringParameter(pugi::xml_node parent, std::string_view key, std::string_view value);

// The start-up load: every stored setting from parameters.xml (missing ones take their default
// and are added; empty folder keys are taken out; the check boxes and int and string boxes are
// set), then the version bookkeeping, then the traffic radius from LATERAL_RANGE.
void gf_loadParameters();
// The load itself for the given lists.
void gf_readParameters(const ParameterLists& lists);
// The version bookkeeping: records the running version in PROGRAM_VERSION and, after an update,
// removes the old installer and asks for a new livery and airport scan.
void gf_checkVersionUpdate();

// Reads one integer setting from a loaded document: a missing element or value attribute gives
// the default, a value is limited to the range; logs "KEY=value" when `log` is set. True when found.
bool gf_readIntParameter(IntParameter& parameter, const pugi::xml_document& document, bool log);
void gf_logIntParameter(const IntParameter& parameter);

// Loads parameters.xml under the store's lock (the main window reads its saved position so);
// false when there is no readable file with a `parameters` root.
bool gf_loadParametersDocument(pugi::xml_document& document);

// Single-value saves: reload the file, set (or add) the one element and its value, save. A save that cannot
// be written logs "saving xml did not work?"; the value in memory stays.
void gf_saveBoolParameter(const BoolParameter& parameter);
void gf_saveIntParameter(const IntParameter& parameter);
void gf_saveStringParameter(const StringParameter& parameter);
// value := text, then saved.
void gf_setParameterString(StringParameter& parameter, std::string text);
// Writes the setting's value into its text box.
void gf_refreshStringControl(const StringTextBox& box);
