#include "Measurement.h"

#include <cmath>
#include <cstdlib>

namespace dmm {

std::string Measurement::valueText() const {
    if (!hasValue()) return {};
    std::string d = digits;
    long point = static_cast<long>(d.size()) + exponent; // digits before the point
    if (point < 0) {
        d.insert(0, static_cast<std::size_t>(-point), '0');
        point = 0;
    }
    if (point > static_cast<long>(d.size()))
        d.append(static_cast<std::size_t>(point) - d.size(), '0');
    std::string whole = d.substr(0, static_cast<std::size_t>(point));
    std::string fraction = d.substr(static_cast<std::size_t>(point));
    const std::size_t firstWhole = whole.find_first_not_of('0');
    whole = firstWhole == std::string::npos ? "0" : whole.substr(firstWhole);
    const std::size_t lastFraction = fraction.find_last_not_of('0');
    fraction = lastFraction == std::string::npos ? "" : fraction.substr(0, lastFraction + 1);
    const bool zero = whole == "0" && fraction.empty();
    std::string out = negative && !zero ? "-" : "";
    out += whole;
    if (!fraction.empty()) out += '.' + fraction;
    return out;
}

double Measurement::value() const {
    if (state != ValueState::Number || digits.empty()) return 0;
    const std::string text = digits + "e" + std::to_string(exponent);
    const double v = std::strtod(text.c_str(), nullptr);
    return negative ? -v : v;
}

Coupling couplingOf(std::string_view dcAc) {
    if (dcAc == "DC") return Coupling::DC;
    if (dcAc == "AC") return Coupling::AC;
    if (dcAc == "AC+DC") return Coupling::ACDC;
    return Coupling::None;
}

const char* quantityName(Quantity q) {
    switch (q) {
    case Quantity::None:
        return "none";
    case Quantity::Voltage:
        return "voltage";
    case Quantity::Current:
        return "current";
    case Quantity::Resistance:
        return "resistance";
    case Quantity::Continuity:
        return "continuity";
    case Quantity::Diode:
        return "diode";
    case Quantity::Capacitance:
        return "capacitance";
    case Quantity::Frequency:
        return "frequency";
    case Quantity::DutyCycle:
        return "duty_cycle";
    case Quantity::TemperatureC:
        return "temperature_c";
    case Quantity::TemperatureF:
        return "temperature_f";
    case Quantity::Power:
        return "power";
    case Quantity::Rpm:
        return "rpm";
    case Quantity::LoopPercent:
        return "loop_percent";
    }
    return "none";
}

const char* couplingName(Coupling c) {
    switch (c) {
    case Coupling::None:
        return "";
    case Coupling::DC:
        return "DC";
    case Coupling::AC:
        return "AC";
    case Coupling::ACDC:
        return "AC+DC";
    }
    return "";
}

} // namespace dmm
