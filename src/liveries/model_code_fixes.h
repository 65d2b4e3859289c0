#pragma once
// The model code of an aircraft.cfg, as the livery scan asks for it: the file's atc_model, or for
// an IVAO model set the type in its folder name, made a valid model code of the data base with
// the data base's table of known wrong codes. Every correction and every unusable code becomes a
// line of the scan's problem lists. Called from many scan tasks at once; reads only tables that
// do not change while the scan runs. All comparisons are exact (letter case counts).

#include <filesystem>
#include <string>
#include <vector>

// The model code from the first atc_model line anywhere in the file; "" when the file has none
// or its code is neither valid nor fixable.
std::string lf_fixModelCode(const std::filesystem::path& file, const std::vector<std::string>& lines);
// The model code of an IVAO_MTL/IVAO_<type>/aircraft.cfg from its folder name; "" for any other
// path or an unusable code.
std::string lf_fixIvaoModelCode(const std::filesystem::path& file);
// `code` when it is a valid model code, its correction when the data base knows one, else "".
std::string lf_validateOrFixModelCode(const std::string& code, const std::filesystem::path& file);
// The IVAO folder-name rules: a trailing 'w' dropped, a few variants mapped to their base type.
std::string lf_ivaoCandidateCode(const std::string& name);
