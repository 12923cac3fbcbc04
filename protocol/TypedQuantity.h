// A value with its unit as a user types it in a condition ("above 5.1 V", "rises above 1 V",
// "outside 4.9..5.1 mV DC", "below 20 degC"): read into the base unit the decoders fill into a
// Measurement, so that a condition compares against `Measurement::value()` whatever range the
// meter shows.
//
// Accepted: a number with "." for the decimal point (an exponent "1e-3" too), then a unit
// either glued on or as the next word, then optionally "DC" or "AC". Units in ASCII or Unicode
// with a prefix: V, A, ohm/Ω, F, Hz, %, degC/°C, degF/°F; prefixes n, u/µ, m, k, M (none on %,
// °C and °F).
#pragma once

#include "Measurement.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dmm {

struct TypedUnit {
    std::string baseUnit; // as Measurement::baseUnit spells it: "V", "Ω", "°C"...
    double scale = 1;     // value in the base unit = typed value × scale
};

// nullopt for a unit that is none of the above.
std::optional<TypedUnit> findTypedUnit(std::string_view unit);

struct TypedQuantity {
    double low = 0;  // the value, or a range's lower end
    double high = 0; // a range's upper end (low for a single value)
    std::string baseUnit;
    Coupling coupling = Coupling::None; // None: any coupling
    // Whether `m` is of the same base unit (and coupling, when one was typed) as this.
    bool sameKind(const Measurement& m) const;
};

// Splits a condition into words at spaces and tabs.
std::vector<std::string_view> conditionWords(std::string_view text);

// Reads a value (or with `range`, "A..B") and its unit from `words` at `pos`, and a coupling
// word after it, moving `pos` past what it read. Empty on success, otherwise what was expected
// ("a unit after 5.1: V, A, ohm, F, Hz, %, degC or degF").
std::string readTypedQuantity(const std::vector<std::string_view>& words, std::size_t& pos,
                              bool range, TypedQuantity& out);

} // namespace dmm
