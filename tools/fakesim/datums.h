#pragma once
// Simulation variables ("datums") of a data definition: what value each has for an object, in the
// units the client asked for, laid out in the client's datum type; and the reverse for the data a
// client writes. Unknown datums read as zero (or an empty text).

#include "wire.h"
#include "world.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fakesim {

struct DatumDef {
    std::string name;
    std::string units;
    std::uint32_t type = wire::datatype::kFloat64;
    float epsilon = 0.0f;
    std::uint32_t datumId = wire::kUnused;
};

// Appends the datum's value for the object in the datum's type: numbers converted to the units,
// texts in their field (STRINGV: the text, a NUL and zeros up to a multiple of 4 bytes).
void encodeDatum(wire::Writer& out, const DatumDef& datum, const SimObject& object, const ZuluTime& zulu);

// The bytes of one whole definition for the object, in definition order (untagged layout).
std::vector<std::uint8_t> encodeDefinition(std::span<const DatumDef> datums, const SimObject& object,
                                           const ZuluTime& zulu);

// Reads one datum's value from written data and applies it to the object: the pose datums
// change the pose (converted from the units), others are kept in the object's values.
// Returns false when the data ends before the datum (nothing is applied then).
bool applyDatum(wire::Reader& in, const DatumDef& datum, SimObject& object);

// Applies a client event such as "NAV_LIGHTS_SET" to the object (the light states follow the
// *_LIGHTS_SET events); every event's last value is kept in the object's events.
void applyClientEvent(SimObject& object, const std::string& eventName, std::uint32_t data);

// The datum's value for the object as a number in the datum's units (texts: 0), for the trace.
double datumNumber(const DatumDef& datum, const SimObject& object, const ZuluTime& zulu);

} // namespace fakesim
