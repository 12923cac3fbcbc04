// Family Q13: the raw LCD of a four-digit meter, 14 bytes, byte i carrying i in its high nibble
// and four segment or annunciator bits in its low nibble (bit 3 first):
//    1 AC DC AUTO RS232        2 minus 1e 1f 1a     3 1d 1c 1g 1b
//    4 P1 2e 2f 2a             5 2d 2c 2g 2b        6 P2 3e 3f 3a      7 3d 3c 3g 3b
//    8 P3 4e 4f 4a             9 4d 4c 4g 4b
//   10 micro nano kilo diode  11 milli percent mega continuity
//   12 farad ohm REC HOLD     13 ampere volt hertz low-battery   14 - - - Celsius
#include "Encoders.h"

#include <array>
#include <string>

namespace dmm::sim {

namespace {

// Seven segments of a digit place, bit 0 a ... bit 6 g.
enum : std::uint8_t { Sa = 1, Sb = 2, Sc = 4, Sd = 8, Se = 16, Sf = 32, Sg = 64 };

constexpr std::array<std::uint8_t, 10> kDigitSegments = {
    Sa | Sb | Sc | Sd | Se | Sf,      // 0
    Sb | Sc,                          // 1
    Sa | Sb | Sd | Se | Sg,           // 2
    Sa | Sb | Sc | Sd | Sg,           // 3
    Sb | Sc | Sf | Sg,                // 4
    Sa | Sc | Sd | Sf | Sg,           // 5
    Sa | Sc | Sd | Se | Sf | Sg,      // 6
    Sa | Sb | Sc,                     // 7
    Sa | Sb | Sc | Sd | Se | Sf | Sg, // 8
    Sa | Sb | Sc | Sd | Sf | Sg,      // 9
};
constexpr std::uint8_t kLetterL = Sd | Se | Sf;

// Annunciator bits of bytes 10 to 13 and 14.
enum : std::uint8_t {
    B10Micro = 8,
    B10Nano = 4,
    B10Kilo = 2,
    B10Diode = 1,
    B11Milli = 8,
    B11Percent = 4,
    B11Mega = 2,
    B11Continuity = 1,
    B12Farad = 8,
    B12Ohm = 4,
    B12Rec = 2,
    B12Hold = 1,
    B13Amp = 8,
    B13Volt = 4,
    B13Hertz = 2,
    B13LowBattery = 1,
    B14Celsius = 1,
};

struct Q13Range {
    int point; // 0 none, 1 to 3: after digit 1 to 3
    const char* unit;
    std::uint8_t b10, b11, b12, b13, b14;
};

struct Q13Function {
    const Q13Range* ranges;
    int count;
    bool dc; // DC shown with the default coupling
};

constexpr Q13Range kVolt[] = {{1, "V", 0, 0, 0, B13Volt, 0},
                              {2, "V", 0, 0, 0, B13Volt, 0},
                              {3, "V", 0, 0, 0, B13Volt, 0},
                              {0, "V", 0, 0, 0, B13Volt, 0}};
constexpr Q13Range kMilliVolt[] = {{3, "mV", 0, B11Milli, 0, B13Volt, 0}};
constexpr Q13Range kOhm[] = {
    {3, "*", 0, 0, B12Ohm, 0, 0},        {1, "k*", B10Kilo, 0, B12Ohm, 0, 0},
    {2, "k*", B10Kilo, 0, B12Ohm, 0, 0}, {3, "k*", B10Kilo, 0, B12Ohm, 0, 0},
    {1, "M*", 0, B11Mega, B12Ohm, 0, 0}, {2, "M*", 0, B11Mega, B12Ohm, 0, 0}};
constexpr Q13Range kCap[] = {
    {2, "nF", B10Nano, 0, B12Farad, 0, 0},  {3, "nF", B10Nano, 0, B12Farad, 0, 0},
    {1, "uF", B10Micro, 0, B12Farad, 0, 0}, {2, "uF", B10Micro, 0, B12Farad, 0, 0},
    {3, "uF", B10Micro, 0, B12Farad, 0, 0}, {1, "mF", 0, B11Milli, B12Farad, 0, 0}};
constexpr Q13Range kHertz[] = {
    {2, "Hz", 0, 0, 0, B13Hertz, 0},        {3, "Hz", 0, 0, 0, B13Hertz, 0},
    {1, "kHz", B10Kilo, 0, 0, B13Hertz, 0}, {2, "kHz", B10Kilo, 0, 0, B13Hertz, 0},
    {3, "kHz", B10Kilo, 0, 0, B13Hertz, 0}, {1, "MHz", 0, B11Mega, 0, B13Hertz, 0}};
// The Celsius annunciator alone makes the unit; the meter also lights the volt bit in its
// thermocouple ranges, which the reading must not show.
constexpr Q13Range kCelsius[] = {{0, "#", 0, 0, 0, 0, B14Celsius},
                                 {3, "#", 0, 0, 0, B13Volt, B14Celsius}};
constexpr Q13Range kMicroAmp[] = {{2, "uA", B10Micro, 0, 0, B13Amp, 0},
                                  {3, "uA", B10Micro, 0, 0, B13Amp, 0}};
constexpr Q13Range kMilliAmp[] = {{1, "mA", 0, B11Milli, 0, B13Amp, 0},
                                  {2, "mA", 0, B11Milli, 0, B13Amp, 0}};
constexpr Q13Range kAmp[] = {{1, "A", 0, 0, 0, B13Amp, 0}, {2, "A", 0, 0, 0, B13Amp, 0}};
constexpr Q13Range kContinuity[] = {{3, "*", 0, B11Continuity, B12Ohm, 0, 0}};
constexpr Q13Range kDiode[] = {{1, "V", B10Diode, 0, 0, B13Volt, 0}};
constexpr Q13Range kDuty[] = {{3, "%", 0, B11Percent, 0, 0, 0}};
constexpr Q13Range kBare[] = {{0, "", 0, 0, 0, 0, 0}};

Q13Function q13Function(Function f) {
    switch (f) {
    case Function::DcVolt:
        return {kVolt, 4, true};
    case Function::AcVolt:
        return {kVolt, 4, false};
    case Function::MilliVolt:
        return {kMilliVolt, 1, true};
    case Function::Ohm:
        return {kOhm, 6, false};
    case Function::Capacitance:
        return {kCap, 6, false};
    case Function::Frequency:
        return {kHertz, 6, false};
    case Function::Celsius:
        return {kCelsius, 2, false};
    case Function::MicroAmp:
        return {kMicroAmp, 2, true};
    case Function::MilliAmp:
        return {kMilliAmp, 2, true};
    case Function::Amp:
        return {kAmp, 2, true};
    case Function::Continuity:
        return {kContinuity, 1, false};
    case Function::Diode:
        return {kDiode, 1, true};
    case Function::DutyCycle:
        return {kDuty, 1, false};
    default:
        return {kBare, 1, false};
    }
}

const Q13Range& q13Range(const MeterState& s) {
    const Q13Function fn = q13Function(s.function);
    const int r = s.range < 0 ? 0 : s.range >= fn.count ? fn.count - 1 : s.range;
    return fn.ranges[r];
}

// AC and DC bits of byte 1.
std::pair<bool, bool> q13Coupling(const MeterState& s) {
    switch (s.coupling) {
    case Coupling::AC:
        return {true, false};
    case Coupling::DC:
        return {false, true};
    case Coupling::ACDC:
        return {true, true};
    case Coupling::Other:
        return {false, false};
    case Coupling::Default:
        break;
    }
    if (s.function == Function::AcVolt) return {true, false};
    return {false, q13Function(s.function).dc};
}

// The four digit places: a segment set each, and the text a reading shows for it.
struct Q13Digits {
    std::array<std::uint8_t, 4> segments{};
    std::array<std::string, 4> text;
    bool overload = false;
};

Q13Digits q13Digits(const MeterState& s) {
    Q13Digits d;
    if (s.overload != Overload::None) {
        // " 0L ": the meter darkens the outer places.
        d.segments = {0, kDigitSegments[0], kLetterL, 0};
        d.text = {"", "0", "L", ""};
        d.overload = true;
        return d;
    }
    std::uint32_t c = s.count % 10000;
    for (int i = 3; i >= 0; --i, c /= 10) {
        d.segments[static_cast<std::size_t>(i)] = kDigitSegments[c % 10];
        d.text[static_cast<std::size_t>(i)] = std::string(1, static_cast<char>('0' + c % 10));
    }
    if (s.blankLeading && s.count < 1000 && q13Range(s).point != 1) {
        d.segments[0] = 0;
        d.text[0].clear();
    }
    return d;
}

} // namespace

int q13RangeCount(Function f) {
    return q13Function(f).count;
}

std::vector<std::uint8_t> encodeQ13(const MeterState& s) {
    const Q13Range& r = q13Range(s);
    const Q13Digits d = q13Digits(s);
    const auto [ac, dc] = q13Coupling(s);
    std::array<std::uint8_t, 14> n{};
    n[0] = static_cast<std::uint8_t>((ac ? 8 : 0) | (dc ? 4 : 0) | (s.autoRange ? 2 : 0) |
                                     (s.serialOutput ? 1 : 0));
    for (std::size_t k = 0; k < 4; ++k) {
        const std::uint8_t seg = d.segments[k];
        auto bit = [seg](std::uint8_t m, int at) { return (seg & m) ? (1 << at) : 0; };
        // Byte 2k+2: (sign or point), e, f, a; byte 2k+3: d, c, g, b.
        bool lead = k == 0 ? s.negative : r.point == static_cast<int>(k);
        n[2 * k + 1] =
            static_cast<std::uint8_t>((lead ? 8 : 0) | bit(Se, 2) | bit(Sf, 1) | bit(Sa, 0));
        n[2 * k + 2] = static_cast<std::uint8_t>(bit(Sd, 3) | bit(Sc, 2) | bit(Sg, 1) | bit(Sb, 0));
    }
    n[9] = r.b10;
    n[10] = r.b11;
    n[11] = static_cast<std::uint8_t>(r.b12 | (s.rec ? B12Rec : 0) | (s.hold ? B12Hold : 0));
    n[12] = static_cast<std::uint8_t>(r.b13 | (s.lowBattery ? B13LowBattery : 0));
    n[13] = r.b14;
    std::vector<std::uint8_t> out(14);
    for (std::size_t i = 0; i < 14; ++i)
        out[i] = static_cast<std::uint8_t>(((i + 1) << 4) | (n[i] & 0x0F));
    return out;
}

ExpectedReading expectQ13(const MeterState& s, ExpectationState& st) {
    const Q13Range& r = q13Range(s);
    const Q13Digits d = q13Digits(s);
    const auto [ac, dc] = q13Coupling(s);
    const bool celsius = r.b14 != 0 && !(r.b13 & B13Hertz);
    const bool hertz = (r.b13 & B13Hertz) != 0;
    ExpectedReading e;
    e.dcac = dc ? "DC" : ac ? "AC" : "";
    if (celsius) e.dcac.clear();
    e.range = s.autoRange || hertz ? "AUTO" : "MANU";
    e.unit = r.unit;
    const std::string sign = s.negative ? "-" : "";
    auto sep = [&r](int k) { return r.point == k ? "." : ""; };
    e.value = sign + d.text[0] + sep(1) + d.text[1] + sep(2) + d.text[2] + sep(3) + d.text[3];
    if (d.overload) {
        e.numeric = sign.empty() ? st.profileFullScale : -st.profileFullScale;
    } else {
        const double magnitude = static_cast<double>(s.count % 10000);
        e.numeric = sign.empty() ? magnitude : -magnitude;
    }
    return e;
}

// The "tour" script: every function and range in turn, with the display forms varied.
std::vector<MeterState> tourQ13() {
    const Function functions[] = {Function::DcVolt,    Function::AcVolt,      Function::MilliVolt,
                                  Function::Ohm,       Function::Capacitance, Function::Frequency,
                                  Function::Celsius,   Function::MicroAmp,    Function::MilliAmp,
                                  Function::Amp,       Function::Continuity,  Function::Diode,
                                  Function::DutyCycle, Function::None};
    std::vector<MeterState> out;
    int i = 0;
    for (Function f : functions) {
        for (int r = 0; r < q13RangeCount(f); ++r, ++i) {
            MeterState s;
            s.function = f;
            s.range = r;
            static const Coupling couplings[] = {Coupling::Default, Coupling::AC, Coupling::DC,
                                                 Coupling::ACDC, Coupling::Default};
            s.coupling = couplings[i % 5];
            s.negative = (i / 2) % 2 == 1;
            s.autoRange = i % 3 != 1;
            s.lowBattery = i % 7 == 2;
            s.hold = i % 5 == 1;
            s.rec = i % 6 == 4;
            s.serialOutput = i % 4 != 3;
            s.blankLeading = i % 4 == 2;
            if (i % 9 == 4) s.overload = Overload::ZeroL;
            out.push_back(s);
        }
    }
    return out;
}

} // namespace dmm::sim
