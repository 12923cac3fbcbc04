// A decoded reading as a program uses it: what is measured, the coupling, and the value as an
// exact decimal in the base unit, beside the unit and the text the display shows. Every output
// (the files, MQTT, SCPI, and whatever comes next) takes these fields instead of reading the
// display text back.
//
// The value is the sign, the digits shown and a power of ten: "12.345" mV is digits "12345",
// exponent -6, in V. Digits are kept as shown (leading zeros included) so that a value never
// passes through a binary double on its way to a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dmm {

enum class Quantity : std::uint8_t {
    None, // no function annunciator, or a unit no family shows
    Voltage,
    Current,
    Resistance,
    Continuity,
    Diode,
    Capacitance,
    Frequency,
    DutyCycle,
    TemperatureC,
    TemperatureF,
    Power,       // W: shown, but not converted to a base unit
    Rpm,         // revolutions per minute, likewise
    LoopPercent, // the 4-20 mA loop as a percentage, likewise
};

enum class Coupling : std::uint8_t { None, DC, AC, ACDC };

enum class ValueState : std::uint8_t {
    Number,   // digits, a sign and at most one decimal point
    Overload, // an L among the digits
    NoNumber, // nothing to read: dark places only, a glyph that is no digit, two points
};

struct Measurement {
    Quantity quantity = Quantity::None;
    Coupling coupling = Coupling::None;
    ValueState state = ValueState::NoNumber;
    bool negative = false;
    std::string digits; // the digits shown, "0".."9" only; empty unless state is Number
    int exponent = 0;   // in the base unit: value = digits × 10^exponent
    bool hasBaseUnit = false;
    std::string unit;      // as shown, UTF-8: "mV", "kΩ", "°C"; an unknown code as stored
    std::string baseUnit;  // "V", "A", "Ω", "F", "Hz", "%", "°C", "°F"; empty without one
    std::string rangeMode; // "AUTO", "MANU" or empty
    // The display text with "." for the decimal separator ("L0.", "-12.345"); a text that is no
    // display form (from a foreign file) as it came.
    std::string display;

    // A number in a base unit: what statistics, limits and the CSV's value column take.
    bool hasValue() const { return state == ValueState::Number && hasBaseUnit; }
    // The value in its shortest exact decimal form: no leading zeros, no trailing zeros after
    // the point, "0" for any zero ("0.012345", "20000", "-1.5"); empty unless hasValue().
    std::string valueText() const;
    // The number as a double (for comparisons; files take valueText()), in the base unit where
    // there is one and as shown where there is none; 0 unless state is Number.
    double value() const;

    bool operator==(const Measurement&) const = default;
};

// What a unit code of the annunciator font (see UnitCode.h) means, and the coupling word.
Coupling couplingOf(std::string_view dcAc);

// The SCPI-style and JSON names: "voltage", "dc"...
const char* quantityName(Quantity q);
const char* couplingName(Coupling c);

} // namespace dmm
