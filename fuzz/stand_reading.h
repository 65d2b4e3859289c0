#pragma once
// The park airport's stand file read as when the park airport is chosen: the stand file itself,
// then its learned file merged into it.

#include <string>

namespace fuzzing {

// The path (below airports/my_ORBX) of a stand file of the park airport KLAX.
std::string parkAirportStandFile();
// Reads that file and merges its learned file as the program does; every setting that a
// learned file may change goes back to its default afterwards.
void readParkAirportStands();

} // namespace fuzzing
