#pragma once
// The scrambling that the program's unscramblers undo, for tests and for making sample data
// bases: airline codes, aircraft-type codes and registrations as the data base stores them.
// Written apart from the program's code so that each checks the other.

#include <stdexcept>
#include <string>
#include <string_view>

namespace testsupport {

// The stored form of a plain code; empty stays empty. Throws std::invalid_argument for a code
// holding a blank, tab, line end, comma or semicolon, which a stored list could not carry.
std::string scrambleAirline(std::string_view plain);
std::string scrambleType(std::string_view plain);
std::string scrambleRegcode(std::string_view plain);

} // namespace testsupport
