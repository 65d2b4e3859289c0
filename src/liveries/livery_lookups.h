#pragma once
// The aircraft type of an aircraft.cfg, as the livery scan asks for it. The data base's model
// fixes are not joined to the scan yet: until they are, the type is taken as the file names it.
// The scan's other data-base questions go to liveries/model_classes.h and
// liveries/registrations.h.

#include <filesystem>
#include <string>
#include <vector>

// The aircraft type of an aircraft.cfg from its first atc_model line; "" when it has none.
std::string lf_fixModelCode(const std::filesystem::path& file, const std::vector<std::string>& lines);
// The aircraft type of an IVAO_MTL/IVAO_<type>/aircraft.cfg from its folder name; "" for any other
// path.
std::string lf_fixIvaoModelCode(const std::filesystem::path& file);
