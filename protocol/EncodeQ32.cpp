// Family Q32, the shipped 20000-count meter. Frame positions (one nibble per byte):
//   1-5 digits (1 "A": overload, then 2 "C": the "L0" form; 4 "B": all zeros; 5 "A": dark),
//   6 range digit r, 7 function code f, 8 coupling digit, 9 status digit (8 ignored, 4 minus,
//   then exactly 1 automatic ranging), then 0x0D 0x0A.
#include "Encoders.h"

#include <string>

namespace dmm::sim {

namespace {

struct Q32Row {
    const char* unit;
    const char* dcac; // with coupling digit 0
    int point;        // DecimalPos, -1 where the range leaves it unset
    int fullScale;    // in display units, -1 where the range keeps the last one
};

// The meaning of function code f at range digit r, as the meter's manual tables it.
Q32Row q32Row(int f, int r) {
    auto pick = [r](std::initializer_list<std::pair<int, int>> byRange) {
        int i = 0;
        for (auto [point, fs] : byRange) {
            if (i == r) return std::pair{point, fs};
            ++i;
        }
        return std::pair{-1, -1};
    };
    std::pair<int, int> pf{-1, -1};
    switch (f) {
    case 0x0:
        return {"", "DC", -1, 200};
    case 0x1:
    case 0x2:
        pf = pick({{-1, -1}, {0, 2}, {1, 20}, {2, 200}, {3, 1000}});
        return {"V", f == 1 ? "DC" : "", pf.first, pf.second};
    case 0x3:
        return {"mV", "DC", 2, 200};
    case 0x4:
        pf = pick({{-1, -1}, {2, 200}, {0, 2}, {1, 20}, {2, 200}, {0, 2}, {1, 20}});
        return {r >= 2 && r <= 4   ? "k*"
                : r == 5 || r == 6 ? "M*"
                                   : "*",
                "OHM", pf.first, pf.second};
    case 0x5:
        pf = pick({{-1, -1}, {1, 20}, {2, 200}, {0, 2}, {1, 20}, {2, 200}, {0, 2}, {1, 20}});
        return {r == 1 || r == 2   ? "nF"
                : r >= 3 && r <= 5 ? "uF"
                : r == 6 || r == 7 ? "mF"
                                   : "F",
                "CAP", pf.first, pf.second};
    case 0x6:
        return {"#", "Temperature", 3, 1000};
    case 0x7:
        pf = pick({{2, 200}, {3, 2000}});
        return {r <= 1 ? "uA" : "A", "DC", pf.first, pf.second};
    case 0x8:
        pf = pick({{1, 20}, {2, 200}});
        return {r <= 1 ? "mA" : "A", "DC", pf.first, pf.second};
    case 0x9:
        return {"A", "DC", 1, 10};
    case 0xA:
        return {"*", "OHM", 2, 1000};
    case 0xB:
        return {"V", "Diode", 0, 20};
    case 0xC:
        pf = pick({{1, 20}, {2, 200}, {0, 2}, {1, 20}, {2, 200}, {0, 2}, {1, 20}, {2, 200}});
        return {r >= 2 && r <= 4   ? "kHz"
                : r >= 5 && r <= 7 ? "MHz"
                                   : "Hz",
                "Frequency", pf.first, pf.second};
    case 0xD:
        return {"?", "Temperature", 3, 1832};
    case 0xE:
        return {"W", "", 3, 200};
    default:
        return {"mA%", "", 2, 200};
    }
}

std::uint8_t nib(int v) {
    return static_cast<std::uint8_t>(0x30 | (v & 0x0F));
}

} // namespace

int q32FunctionCode(Function f) {
    switch (f) {
    case Function::None:
        return 0x0;
    case Function::DcVolt:
        return 0x1;
    case Function::AcVolt:
        return 0x2;
    case Function::MilliVolt:
        return 0x3;
    case Function::Ohm:
        return 0x4;
    case Function::Capacitance:
        return 0x5;
    case Function::Celsius:
        return 0x6;
    case Function::MicroAmp:
        return 0x7;
    case Function::MilliAmp:
        return 0x8;
    case Function::Amp:
        return 0x9;
    case Function::Continuity:
        return 0xA;
    case Function::Diode:
        return 0xB;
    case Function::Frequency:
    case Function::DutyCycle:
    case Function::Rpm:
        return 0xC;
    case Function::Fahrenheit:
        return 0xD;
    case Function::Watt:
        return 0xE;
    case Function::LoopPercent:
        return 0xF;
    }
    return 0;
}

bool q32RangeDefined(Function f, int r) {
    const Q32Row row = q32Row(q32FunctionCode(f), r);
    return row.point >= 0 && row.fullScale >= 0;
}

std::vector<std::uint8_t> encodeQ32(const MeterState& s) {
    int d[5] = {0, 0, 0, 0, 0};
    if (s.overload != Overload::None) {
        d[0] = 0xA;
        d[1] = s.overload == Overload::LZero ? 0xC : 0;
    } else {
        std::uint32_t c = s.count;
        for (int i = s.fourDigits ? 3 : 4; i >= 0; --i, c /= 10) d[i] = static_cast<int>(c % 10);
        if (s.fourDigits) d[4] = 0xA;
        if (s.allZero) d[3] = 0xB;
    }
    const bool minus = s.negative || s.function == Function::DutyCycle;
    // The status digit is one decimal digit: its 8 comes only without the minus (8 or 9).
    const int status = (s.status8 && !minus ? 8 : 0) + (minus ? 4 : 0) + (s.autoRange ? 1 : 0);
    int coupling = 0;
    switch (s.coupling) {
    case Coupling::Default:
        coupling = 0;
        break;
    case Coupling::AC:
        coupling = 1;
        break;
    case Coupling::DC:
        coupling = 2;
        break;
    case Coupling::ACDC:
        coupling = 3;
        break;
    case Coupling::Other:
        coupling = 4 + static_cast<int>(s.count % 6);
        break;
    }
    return {nib(d[0]),
            nib(d[1]),
            nib(d[2]),
            nib(d[3]),
            nib(d[4]),
            nib(s.range),
            nib(q32FunctionCode(s.function)),
            nib(coupling),
            nib(status),
            0x0D,
            0x0A};
}

ExpectedReading expectQ32(const MeterState& s, ExpectationState& st) {
    const int f = q32FunctionCode(s.function);
    const Q32Row row = q32Row(f, s.range);
    if (row.fullScale >= 0) st.fullScale = row.fullScale;
    int point = row.point;
    std::string unit = row.unit;
    std::string sign = s.negative ? "-" : "";
    // The meter sends its duty cycle as the frequency function with the minus sign: a negative
    // frequency reads as a duty cycle.
    if (f == 0xC && (s.negative || s.function == Function::DutyCycle)) {
        point = 2;
        unit = "%";
        sign.clear();
    }
    ExpectedReading e;
    e.unit = unit;
    switch (s.coupling) {
    case Coupling::Default:
        e.dcac = row.dcac;
        break;
    case Coupling::AC:
        e.dcac = "AC";
        break;
    case Coupling::DC:
        e.dcac = "DC";
        break;
    case Coupling::ACDC:
        e.dcac = "AC+DC";
        break;
    case Coupling::Other:
        break;
    }
    e.range = s.autoRange ? "AUTO" : "";
    auto sep = [point](int slot) { return point == slot ? "." : ""; };
    if (s.overload == Overload::LZero) {
        e.value = "L0.";
        e.numeric = sign.empty() ? st.fullScale : -st.fullScale;
    } else if (s.overload == Overload::ZeroL) {
        e.value = sign + sep(0) + sep(1) + "0" + sep(2) + "L" + sep(3);
        e.numeric = sign.empty() ? st.fullScale : -st.fullScale;
    } else {
        std::string digits;
        if (s.allZero) {
            digits = "00000";
        } else {
            digits = std::to_string(s.count);
            const std::size_t places = s.fourDigits ? 4 : 5;
            if (digits.size() < places) digits.insert(0, places - digits.size(), '0');
        }
        e.value = sign;
        for (std::size_t i = 0; i < digits.size(); ++i) {
            e.value += digits[i];
            if (i < 4) e.value += sep(static_cast<int>(i));
        }
        const double magnitude = s.allZero ? 0.0 : static_cast<double>(s.count);
        e.numeric = sign.empty() || magnitude == 0 ? magnitude : -magnitude;
    }
    return e;
}

// The "tour" script: every function and range in turn, with the display forms varied.
std::vector<MeterState> tourQ32() {
    std::vector<MeterState> out;
    const Function functions[] = {
        Function::None,      Function::DcVolt,      Function::AcVolt,     Function::MilliVolt,
        Function::Ohm,       Function::Capacitance, Function::Celsius,    Function::MicroAmp,
        Function::MilliAmp,  Function::Amp,         Function::Continuity, Function::Diode,
        Function::Frequency, Function::Fahrenheit,  Function::Watt,       Function::LoopPercent,
        Function::DutyCycle};
    int i = 0;
    for (Function f : functions) {
        for (int r = 0; r <= 9; ++r, ++i) {
            MeterState s;
            s.function = f;
            s.range = r;
            static const Coupling couplings[] = {Coupling::Default, Coupling::AC, Coupling::DC,
                                                 Coupling::ACDC, Coupling::Other};
            s.coupling = couplings[i % 5];
            s.negative = (i / 2) % 2 == 1;
            s.autoRange = i % 3 != 1;
            s.status8 = i % 4 == 3;
            s.fourDigits = i % 7 == 3;
            s.allZero = i % 11 == 5;
            // An overload where the range keeps the last full scale would read the full scale of
            // whatever frame came before, which a receiver that joined late has not seen.
            if (q32RangeDefined(f, r) && i % 6 == 0) s.overload = Overload::ZeroL;
            if (q32RangeDefined(f, r) && i % 6 == 3) s.overload = Overload::LZero;
            out.push_back(s);
        }
    }
    return out;
}

} // namespace dmm::sim
