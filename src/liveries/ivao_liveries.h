#pragma once
// IVAO model-matching sets: the aircraft type comes from the folder name
// (IVAO_MTL/IVAO_<type>/aircraft.cfg) and the airline from the livery title, which begins with the
// type code; atc_parking_codes is not read and an IVAO livery is never a cargo livery.

#include "liveries/aircraft_cfg.h"

// The scan task of one IVAO file, run and collected like lf_searchLiveriesinFile.
std::list<qmx::LiveryData> lf_searchIvaoLiveriesinFile(std::int32_t priority, const std::filesystem::path& file);
// As lf_collectFltSimLine, except that any line holding '[' ends the current section.
void lf_collectIvaoFltSimLine(FltSimContext& context, const std::string& line);
// One record, the empty record when the section gives no livery.
qmx::LiveryData lf_procesIvaoFltSimSection(std::int32_t priority, std::vector<std::string>& section,
                                           const std::string& model, const std::filesystem::path& file,
                                           const std::string& folder);
// The three word characters after the type code at the start of the title (type code ignoring
// letter case, blanks allowed between); "" when the title does not begin that way.
std::string lf_airlineInIvaoTitle(const std::string& title, const std::string& model);
