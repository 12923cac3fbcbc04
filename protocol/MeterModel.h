// The simulated meter: what its display shows at one moment, in the meter's own terms (function,
// range, coupling, sign, digits), from which each family's encoder builds a frame and from which
// the reading a decoder must make of that frame is worked out.
#pragma once

#include <cstdint>
#include <string>

namespace dmm::sim {

enum class Function : std::uint8_t {
    None,        // no function annunciator (Q32 code 0)
    DcVolt,      // volt, DC
    AcVolt,      // volt, coupling shown by the coupling digit only (Q32 code 2)
    MilliVolt,   // millivolt
    Ohm,         // resistance
    Capacitance, // farad with its prefixes
    Celsius,     // degree Celsius
    MicroAmp,    // microampere ranges
    MilliAmp,    // milliampere ranges
    Amp,         // ampere
    Continuity,  // beeper with the ohm sign
    Diode,       // diode test
    Frequency,   // hertz with its prefixes
    Fahrenheit,  // degree Fahrenheit
    Watt,        // the W annunciator (Q32 code E)
    LoopPercent, // 4-20 mA loop as a percentage (Q32 code F)
    DutyCycle,   // percent of a period: Q32 sends it as frequency with the minus sign
    Rpm,         // revolutions per minute (Q31 only)
};

// Coupling as the meter shows it. Other is a Q32 coupling digit of 4 to 9 (no indicator).
enum class Coupling : std::uint8_t { Default, AC, DC, ACDC, Other };

// The two ways a digit meter shows an overload: "0L" (digits 3 and 4 show 0 and L) and "L0".
enum class Overload : std::uint8_t { None, ZeroL, LZero };

struct MeterState {
    Function function = Function::DcVolt;
    int range = 1; // the family's range digit r
    Coupling coupling = Coupling::Default;
    bool negative = false;
    bool autoRange = false;
    std::uint32_t count = 0; // the digits shown, as one number (0 to 99999 for five places)
    // Q32: the fifth digit place is dark, the count then has four digits (0 to 9999).
    bool fourDigits = false;
    bool allZero = false; // Q32: the "all zeros" display form
    Overload overload = Overload::None;
    // Q32: the status digit's 8, which a decoder ignores; a decimal digit, it goes with no
    // minus only (8 or 9).
    bool status8 = false;
    // Q13 and Q31 extras.
    bool lowBattery = false;
    bool hold = false;              // Q13 HOLD annunciator
    bool rec = false;               // Q13 REC annunciator
    bool serialOutput = true;       // the RS232 annunciator
    bool frequencyOverride = false; // Q31: status nibbles 1 and 2 read 0 and 1
    bool blankLeading = false;      // Q13: the first digit place dark (leading zero blanked)
};

// What a decoder must make of the frame of a state when it arrives intact: the texts of the
// current reading and its count. The decimal separator is ".".
struct ExpectedReading {
    std::string value;
    std::string unit;
    std::string dcac;
    std::string range;
    double numeric = 0;
};

} // namespace dmm::sim
