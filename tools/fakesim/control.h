#pragma once
// The stand-in's line-based control language, for the fakesim program's standard input and
// control file, for scheduled actions and for tests. One command per line; words are separated
// by blanks, a "double-quoted word" may hold blanks; '#' starts a comment line.
//
//   at <seconds> <command>        runs the command that many simulated seconds after the start
//   sim start | sim stop          SimStart / SimStop and the "Sim" state to subscribers
//   flight-loaded <file name>     FlightLoaded (the file-name message)
//   position-changed              PositionChanged
//   refuse-create [count]         the next creations get exception 22 for their send ids
//   refuse-title <title>          every creation with this title gets exception 22
//   fail-next <request> <exception> [count]
//                                 the next requests of that kind (name such as AIRemoveObject,
//                                 or number such as 0x2C) get the exception instead of an answer
//   exception <number> [send id [index]]   an exception message to every open client
//   flood unknown <seconds>       a hostile simulator: a message of id 99 (known to no client)
//   flood objects <seconds>       or aircraft added and removed in turn (ObjectAdded and
//                                 ObjectRemoved events, to the clients subscribed to them),
//   flood exception <number> <seconds>   or that exception,
//   flood assigned <request id> <seconds>   or creation replies (ASSIGNED_OBJECT_ID) of that
//                                 request id for objects nobody created, over and over to every
//                                 open client, as fast as it reads them, for that many simulated
//                                 seconds; a last word "deaf": reading none of their packets
//                                 meanwhile
//   frame-rate <frames per second>
//   app-name <text>               application name of later Open replies
//   app-version <a.b.c.d>         application version and build of later Open replies
//   simconnect-version <a.b.c.d>  SimConnect version and build of later Open replies
//   user key=value ...            moves the user aircraft from where it is now (a teleport) and
//                                 sets its motion: lat lon alt agl heading pitch bank speed vs
//                                 turn on_ground title model atc_id type lights
//   add-aircraft key=value ...    an aircraft that the simulator places: title atc_id model lat
//                                 lon alt agl heading speed on_ground; answers "ok <object id>"
//   remove-object <object id>     the simulator removes the object
//   drop                          closes every client connection without a word
//   mute                          a hung simulator: connections stay open, unread and unanswered
//   quit                          QUIT to every client, then the stand-in ends
//   status                        one JSON line: connections, counts, clock
//   objects                       one JSON line: the AI objects alive
//
// Every command answers "ok" (or "ok <value>"), a JSON line, or "error: <why>".

#include "fakesim.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fakesim {

std::string runControlLine(FakeSim& sim, std::string_view line);

std::vector<std::string> splitControlWords(std::string_view line);

// Applies "key=value" settings (the keys of the user command) to a script; returns an error
// text, empty when every setting was understood.
std::string applyUserSettings(UserAircraft& user, const std::vector<std::string>& settings);

// "5.3.17.28160" -> {5, 3, 17, 28160}; fewer parts leave the rest 0.
bool parseVersion(std::string_view text, std::array<std::uint32_t, 4>& parts);

// Locale-free number parsing; false for text that is not wholly a finite number.
bool parseNumber(std::string_view text, double& value);

} // namespace fakesim
