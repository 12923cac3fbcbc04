// Family Q31, a four-digit meter. Frame bytes (low nibbles): range digit r, digits 1 to 4,
// function code f, status 1 (8: RPM / Celsius, 4: minus, 2: low battery, 1: overload),
// status 2 (1 with status 1 at 0: the frequency reading), status 3 (8: DC, 4: AC, 2: automatic
// ranging, 1: serial output off), then 0x0D 0x0A.
#include "Encoders.h"
#include "HexDigits.h"

#include <string>

namespace dmm::sim {

namespace {

std::uint8_t nib(int v) {
    return static_cast<std::uint8_t>(0x30 | (v & 0x0F));
}

struct Q31Meaning {
    std::string unit;
    int point = 0; // 0 none, 1 to 3: after digit 1 to 3
};

Q31Meaning ohmMeaning(int r) {
    static const int points[] = {3, 1, 2, 3, 1, 2};
    return {r >= 1 && r <= 3 ? "k*" : r == 4 || r == 5 ? "M*" : "*", r <= 5 ? points[r] : 0};
}

// Frequency, or revolutions per minute with status bit 8.
Q31Meaning frequencyMeaning(int r, bool status8) {
    if (r > 5) return {};
    if (status8) {
        static const int points[] = {2, 3, 1, 2, 3, 0};
        return {r <= 1 ? "kRPM" : "MRPM", points[r]};
    }
    return {r <= 2 ? "kHz" : "MHz", r % 3 + 1};
}

Q31Meaning capacitanceMeaning(int r) {
    if (r > 7) return {};
    return {r <= 2 ? "nF" : r <= 5 ? "uF" : "mF", r % 3 + 1};
}

// The unit and decimal point of function code f at range digit r, for the shipped variant
// switches (the 0 range of the frequency function reads kilohertz).
Q31Meaning q31Meaning(char f, int r, bool status8) {
    Q31Meaning m;
    switch (f) {
    case 'B':
        m.unit = r == 0 ? "mV" : "V";
        m.point = r == 0 ? 3 : r <= 3 ? r : 0;
        break;
    case 'D':
        m.unit = "uA";
        m.point = r == 0 ? 3 : 0;
        break;
    case '9':
        m.unit = "mA";
        m.point = r == 0 ? 2 : r == 1 ? 3 : 0;
        break;
    case 'F':
        m.unit = "A";
        m.point = 2;
        break;
    case '3':
        return ohmMeaning(r);
    case '2':
        return frequencyMeaning(r, status8);
    case '4':
        m.unit = status8 ? "#" : "?";
        break;
    case '5':
        m.unit = "&";
        m.point = 3;
        break;
    case '1':
        m.unit = ")";
        m.point = 1;
        break;
    case '6':
        return capacitanceMeaning(r);
    default:
        break;
    }
    return m;
}

struct Q31Status {
    int s1, s2, s3;
};

Q31Status q31Status(const MeterState& s) {
    if (s.frequencyOverride) {
        Q31Status st{0, 1, 0};
        st.s3 = (s.autoRange ? 2 : 0) | (s.serialOutput ? 0 : 1);
        return st;
    }
    const bool alternate = s.function == Function::Rpm || s.function == Function::Celsius;
    Q31Status st{};
    st.s1 = (alternate ? 8 : 0) | (s.negative ? 4 : 0) | (s.lowBattery ? 2 : 0) |
            (s.overload != Overload::None ? 1 : 0);
    st.s2 = 0;
    const bool ac = s.coupling == Coupling::AC || s.coupling == Coupling::ACDC;
    const bool dc = s.coupling == Coupling::DC || s.coupling == Coupling::ACDC;
    st.s3 = (dc ? 8 : 0) | (ac ? 4 : 0) | (s.autoRange ? 2 : 0) | (s.serialOutput ? 0 : 1);
    return st;
}

} // namespace

char q31FunctionCode(Function f) {
    switch (f) {
    case Function::DcVolt:
    case Function::AcVolt:
    case Function::MilliVolt:
        return 'B';
    case Function::MicroAmp:
        return 'D';
    case Function::MilliAmp:
        return '9';
    case Function::Amp:
        return 'F';
    case Function::Ohm:
        return '3';
    case Function::Frequency:
    case Function::Rpm:
        return '2';
    case Function::Celsius:
    case Function::Fahrenheit:
        return '4';
    case Function::Continuity:
        return '5';
    case Function::Diode:
        return '1';
    case Function::Capacitance:
        return '6';
    case Function::Watt:
        return '7';
    case Function::LoopPercent:
        return '8';
    case Function::DutyCycle:
        return 'C';
    case Function::None:
        return '0';
    }
    return '0';
}

std::vector<std::uint8_t> encodeQ31(const MeterState& s) {
    const Q31Status st = q31Status(s);
    const std::uint32_t c = s.count % 10000;
    return {nib(s.range),
            nib(static_cast<int>(c / 1000)),
            nib(static_cast<int>(c / 100 % 10)),
            nib(static_cast<int>(c / 10 % 10)),
            nib(static_cast<int>(c % 10)),
            nib(hexValue(q31FunctionCode(s.function))),
            nib(st.s1),
            nib(st.s2),
            nib(st.s3),
            0x0D,
            0x0A};
}

ExpectedReading expectQ31(const MeterState& s, ExpectationState& carried) {
    const Q31Status st = q31Status(s);
    const char f = q31FunctionCode(s.function);
    Q31Meaning m = q31Meaning(f, s.range, (st.s1 & 8) != 0);
    if (st.s1 == 0 && st.s2 == 1 && s.range <= 5) {
        m.unit = s.range <= 2 ? "kHz" : "MHz";
        m.point = s.range % 3 + 1;
    } else if (st.s1 == 0 && st.s2 == 1) {
        m.point = 0;
    }
    const std::uint32_t c = s.count % 10000;
    std::string d[4] = {std::to_string(c / 1000), std::to_string(c / 100 % 10),
                        std::to_string(c / 10 % 10), std::to_string(c % 10)};
    const bool overload = (st.s1 & 1) != 0;
    if (overload) {
        d[1] = "0";
        d[2] = "@";
    }
    std::string p[4]; // p[k]: the separator after digit k (1 to 3)
    for (int k = 1; k <= 3; ++k) p[k] = m.point == k ? "." : "";
    if (f == '1') {
        d[3].clear();
        m.unit += "V";
    }
    if (f == '5') {
        d[3].clear();
        p[3].clear();
        m.unit += "*";
    }
    const std::string sign = (st.s1 & 4) ? "-" : "";
    ExpectedReading e;
    e.unit = m.unit;
    e.dcac = (st.s3 & 8) ? "DC" : (st.s3 & 4) ? "AC" : "";
    e.range = (st.s3 & 2) ? "AUTO" : "MANU";
    if (overload) {
        e.value = sign + p[1] + "0" + p[2] + "L" + p[3];
        e.numeric =
            sign.empty() ? carried.profileFullScale + 1.0 : -(carried.profileFullScale + 1.0);
    } else {
        e.value = sign + d[0] + p[1] + d[1] + p[2] + d[2] + p[3] + d[3];
        const double magnitude = std::stod(d[0] + d[1] + d[2] + d[3]);
        e.numeric = sign.empty() ? magnitude : -magnitude;
    }
    return e;
}

namespace {

struct Walk {
    Function function;
    int firstRange;
    int lastRange;
};

} // namespace

// The "tour" script: every function and range in turn, with the display forms varied.
std::vector<MeterState> tourQ31() {
    const Walk walks[] = {
        {Function::DcVolt, 0, 5},   {Function::MilliVolt, 0, 0},   {Function::AcVolt, 1, 4},
        {Function::MicroAmp, 0, 1}, {Function::MilliAmp, 0, 2},    {Function::Amp, 0, 1},
        {Function::Ohm, 0, 6},      {Function::Frequency, 0, 6},   {Function::Rpm, 0, 5},
        {Function::Celsius, 0, 0},  {Function::Fahrenheit, 0, 0},  {Function::Continuity, 0, 0},
        {Function::Diode, 0, 0},    {Function::Capacitance, 0, 7}, {Function::None, 0, 0},
        {Function::Watt, 0, 0}};
    std::vector<MeterState> out;
    int i = 0;
    for (const Walk& w : walks) {
        for (int r = w.firstRange; r <= w.lastRange; ++r, ++i) {
            MeterState s;
            s.function = w.function;
            s.range = r;
            static const Coupling couplings[] = {Coupling::Default, Coupling::AC, Coupling::DC,
                                                 Coupling::ACDC};
            s.coupling = w.function == Function::AcVolt ? Coupling::AC : couplings[i % 4];
            s.negative = (i / 2) % 2 == 1;
            s.autoRange = i % 3 != 1;
            s.lowBattery = i % 8 == 5;
            s.serialOutput = i % 4 != 3;
            if (i % 9 == 4) s.overload = Overload::ZeroL;
            if (i % 10 == 7) s.frequencyOverride = true;
            out.push_back(s);
        }
    }
    return out;
}

} // namespace dmm::sim
