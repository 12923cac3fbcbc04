#include "UnitCode.h"

namespace dmm {

namespace {

using Q = Quantity;

// Continuity shows a resistance, the diode test a voltage: their symbols are only annunciators.
// W, RPM and the loop percentage are shown with their own unit and have no base unit here.
constexpr UnitCode kCodes[] = {
    {"V", "V", "V", 0, Q::Voltage},
    {"mV", "mV", "V", -3, Q::Voltage},
    {"A", "A", "A", 0, Q::Current},
    {"mA", "mA", "A", -3, Q::Current},
    {"uA", "\u00B5A", "A", -6, Q::Current},
    {"*", "\u03A9", "\u03A9", 0, Q::Resistance},
    {"k*", "k\u03A9", "\u03A9", 3, Q::Resistance},
    {"M*", "M\u03A9", "\u03A9", 6, Q::Resistance},
    {"F", "F", "F", 0, Q::Capacitance},
    {"nF", "nF", "F", -9, Q::Capacitance},
    {"uF", "\u00B5F", "F", -6, Q::Capacitance},
    {"mF", "mF", "F", -3, Q::Capacitance},
    {"Hz", "Hz", "Hz", 0, Q::Frequency},
    {"kHz", "kHz", "Hz", 3, Q::Frequency},
    {"MHz", "MHz", "Hz", 6, Q::Frequency},
    {"%", "%", "%", 0, Q::DutyCycle},
    {"#", "\u00B0C", "\u00B0C", 0, Q::TemperatureC},
    {"?", "\u00B0F", "\u00B0F", 0, Q::TemperatureF},
    {"&", "\u03A9", "\u03A9", 0, Q::Continuity},
    {"&*", "\u03A9", "\u03A9", 0, Q::Continuity},
    {")", "V", "V", 0, Q::Diode},
    {")V", "V", "V", 0, Q::Diode},
    {"W", "W", "", 0, Q::Power},
    {"kRPM", "kRPM", "", 0, Q::Rpm},
    {"MRPM", "MRPM", "", 0, Q::Rpm},
    {"mA%", "mA%", "", 0, Q::LoopPercent},
};

} // namespace

const UnitCode* findUnitCode(std::string_view code) {
    for (const UnitCode& u : kCodes)
        if (u.code == code) return &u;
    return nullptr;
}

} // namespace dmm
