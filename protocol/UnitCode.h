// The unit codes the decoders write (the annunciator font's codes: "*" ohm, "#" degree Celsius,
// "?" degree Fahrenheit, "&" continuity, ")" diode, "u" micro), each with the unit a user reads,
// its base unit and the power of ten between the two.
#pragma once

#include "Measurement.h"

#include <string_view>

namespace dmm {

struct UnitCode {
    std::string_view code;
    std::string_view unit;     // UTF-8
    std::string_view baseUnit; // UTF-8; empty for a unit that is shown but not converted
    int exponent;              // value in the base unit = shown value × 10^exponent
    Quantity quantity;
};

// nullptr for a code no family writes.
const UnitCode* findUnitCode(std::string_view code);

} // namespace dmm
