// Family Q31: an 11-character frame of one nibble per byte, as the serial handler hands it over:
//   1 "A" (the 0x0A ending the previous frame)   7  function code f
//   2 range digit r                              8  status 1: bit 3 RPM (f 2) / Celsius (f 4),
//   3..6 digits 1..4                                bit 2 minus, bit 1 low battery, bit 0 overload
//                                                9  status 2: only "1" (with status 1 "0") is used,
//                                                   as the frequency override
//                                               10  status 3: bit 3 DC, bit 2 AC, bit 1 AUTO,
//                                                   bit 0 clear = serial output on
//                                               11 "D" (the 0x0D)
// The decoder runs in stages: plausibility, the status nibbles, the function table, the digits,
// then what the reading means (value, blanking, extremes, recorder, bar graph).
#include "Decoders.h"
#include "HexDigits.h"
#include "ShownValue.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace dmm {

namespace {

// The decimal points and prefix annunciators a function row sets.
struct Flags {
    bool DP1 = false, DP2 = false, DP3 = false;
    bool k = false, M = false, m = false, u = false, A = false, n = false;
};

enum class Point : std::uint8_t { None, P1, P2, P3 };
enum class Prefix : std::uint8_t { None, Kilo, Mega, Milli, Micro, Nano };

void setPoint(Flags& fl, Point p) {
    fl.DP1 = fl.DP1 || p == Point::P1;
    fl.DP2 = fl.DP2 || p == Point::P2;
    fl.DP3 = fl.DP3 || p == Point::P3;
}

void setPrefix(Flags& fl, Prefix x) {
    fl.k = fl.k || x == Prefix::Kilo;
    fl.M = fl.M || x == Prefix::Mega;
    fl.m = fl.m || x == Prefix::Milli;
    fl.u = fl.u || x == Prefix::Micro;
    fl.n = fl.n || x == Prefix::Nano;
}

// What range digit r shows: unit text, decimal point and prefix.
struct Step {
    std::string_view unit;
    Point point = Point::None;
    Prefix prefix = Prefix::None;
};

// Conditions besides the function code under which a row applies.
enum Cond : std::uint8_t {
    kAny = 0,
    kRpmBit = 1, // status 1 bit 3 set (RPM for f 2, Celsius for f 4)
    kNoRpmBit = 2,
    kKHzVariant = 4, // the variants whose lowest frequency range reads in kHz
    kNoKHzVariant = 8,
    kV16 = 16, // the variant that lights the ohm sign for continuity
    kNoV16 = 32,
};

// One row of the function table: the indicators it lights, what every range shows, and the
// range steps that override that for range digits 0, 1, ...
struct FunctionRow {
    char code;
    std::uint8_t cond;
    std::array<Ind, 2> lit;
    int litCount;
    Step always;
    bool amps;
    std::array<Step, 8> steps;
    int stepCount;
};

using P = Point;
using X = Prefix;
constexpr Ind kNone = Ind::LcdV; // filler for unused indicator slots

constexpr FunctionRow kFunctions[] = {
    {'B',
     kAny,
     {Ind::LcdV, kNone},
     1,
     {"V"},
     false,
     {{{"mV", P::P3, X::Milli}, {"V", P::P1}, {"V", P::P2}, {"V", P::P3}}},
     4},
    {'D', kAny, {kNone, kNone}, 0, {"uA", P::None, X::Micro}, true, {{{"uA", P::P3}}}, 1},
    {'9',
     kAny,
     {kNone, kNone},
     0,
     {"mA", P::None, X::Milli},
     true,
     {{{"mA", P::P2}, {"mA", P::P3}}},
     2},
    {'F', kAny, {kNone, kNone}, 0, {"A", P::P2}, true, {}, 0},
    {'3',
     kAny,
     {Ind::LCDohm, kNone},
     1,
     {"*"},
     false,
     {{{"*", P::P3},
       {"k*", P::P1, X::Kilo},
       {"k*", P::P2, X::Kilo},
       {"k*", P::P3, X::Kilo},
       {"M*", P::P1, X::Mega},
       {"M*", P::P2, X::Mega}}},
     6},
    {'2',
     kNoRpmBit | kNoKHzVariant,
     {Ind::LCDHz, kNone},
     1,
     {""},
     false,
     {{{"Hz"},
       {"kHz", P::P2, X::Kilo},
       {"kHz", P::P3, X::Kilo},
       {"MHz", P::P1, X::Mega},
       {"MHz", P::P2, X::Mega},
       {"MHz", P::P3, X::Mega}}},
     6},
    {'2',
     kNoRpmBit | kKHzVariant,
     {Ind::LCDHz, kNone},
     1,
     {""},
     false,
     {{{"kHz", P::P1, X::Kilo},
       {"kHz", P::P2, X::Kilo},
       {"kHz", P::P3, X::Kilo},
       {"MHz", P::P1, X::Mega},
       {"MHz", P::P2, X::Mega},
       {"MHz", P::P3, X::Mega}}},
     6},
    {'2',
     kRpmBit,
     {Ind::LcdRPM, kNone},
     1,
     {""},
     false,
     {{{"kRPM", P::P2, X::Kilo},
       {"kRPM", P::P3, X::Kilo},
       {"MRPM", P::P1, X::Mega},
       {"MRPM", P::P2, X::Mega},
       {"MRPM", P::P3, X::Mega},
       {"MRPM", P::None, X::Mega}}},
     6},
    {'4', kRpmBit, {Ind::LCDCS, kNone}, 1, {"#"}, false, {}, 0},
    {'4', kNoRpmBit, {Ind::LCDFS, kNone}, 1, {"?"}, false, {}, 0},
    {'5', kV16, {Ind::LCDFm, Ind::LCDohm}, 2, {"&*", P::P3}, false, {}, 0},
    {'5', kNoV16, {Ind::LCDFm, kNone}, 1, {"&", P::P3}, false, {}, 0},
    {'1', kAny, {Ind::LCDDI, Ind::LcdV}, 2, {")", P::P1}, false, {}, 0},
    {'6',
     kAny,
     {Ind::LCDF, kNone},
     1,
     {""},
     false,
     {{{"nF", P::P1, X::Nano},
       {"nF", P::P2, X::Nano},
       {"nF", P::P3, X::Nano},
       {"uF", P::P1, X::Micro},
       {"uF", P::P2, X::Micro},
       {"uF", P::P3, X::Micro},
       {"mF", P::P1, X::Milli},
       {"mF", P::P2, X::Milli}}},
     8},
};

// Every indicator a row of the table lights; a frame switches off those its row does not.
constexpr Ind kFunctionIndicators[] = {Ind::LcdV,  Ind::LCDohm, Ind::LCDHz, Ind::LcdRPM, Ind::LCDCS,
                                       Ind::LCDFS, Ind::LCDFm,  Ind::LCDDI, Ind::LCDF};

// The status nibbles and the two digits that are not digits of the reading.
struct Status {
    int range; // -1 where the range digit is not decimal (then no row reads it)
    char fn;
    bool rpmBit, negative, battery, overload;
    bool frequencyOverride;
    bool dc, ac, autoRange, serialOut;
};

Status readStatus(std::string_view f) {
    const int s1 = hexValue(f[7]);
    const int s3 = hexValue(f[9]);
    return Status{isDecimal(f[1]) ? f[1] - '0' : -1,
                  f[6],
                  (s1 & 8) != 0,
                  (s1 & 4) != 0,
                  (s1 & 2) != 0,
                  (s1 & 1) != 0,
                  f[7] == '0' && f[8] == '1',
                  (s3 & 8) != 0,
                  (s3 & 4) != 0,
                  (s3 & 2) != 0,
                  (s3 & 1) == 0};
}

// A frame is decodable when every position that is read as a decimal number holds a digit:
// the range digit where a matching row or the override looks at it, and the digits that the
// reading and the bar graph are read from (none at overload; no digit 4 for diode and
// continuity, whose reading drops it).
bool decodable(std::string_view f) {
    if (f.size() < 11) return false;
    for (std::size_t i = 1; i < 10; ++i)
        if (!isHex(f[i])) return false;
    const char fn = f[6];
    const bool override = f[7] == '0' && f[8] == '1';
    const bool readsRange =
        override || fn == 'B' || fn == 'D' || fn == '9' || fn == '3' || fn == '2' || fn == '6';
    if (readsRange && !isDecimal(f[1])) return false;
    if (!(hexValue(f[7]) & 1)) {
        if (!isDecimal(f[2]) || !isDecimal(f[3]) || !isDecimal(f[4])) return false;
        if (fn != '1' && fn != '5' && !isDecimal(f[5])) return false;
    }
    return true;
}

void showStatus(const Status& s, IndicatorSet& lcd, CurrentReading& r) {
    lcd.set(Ind::LcdFH, s.negative);
    lcd.set(Ind::LCDBATT, s.battery);
    lcd.set(Ind::LcdAC, s.ac);
    lcd.set(Ind::LcdDc1, s.dc);
    r.DcAc = s.dc ? "DC" : s.ac ? "AC" : "";
    lcd.set(Ind::LcdAuto, s.autoRange);
    r.RangeMode = s.autoRange ? "AUTO" : "MANU";
    lcd.set(Ind::LCDRS, s.serialOut);
    lcd.set(Ind::LCD232C, s.serialOut);
}

bool matches(const FunctionRow& row, const Status& s, const ModelVariant& v) {
    const bool kHzVariant = v.IFQV16 || v.IFQV31;
    const std::uint8_t c = row.cond;
    return row.code == s.fn && !((c & kRpmBit) && !s.rpmBit) && !((c & kNoRpmBit) && s.rpmBit) &&
           !((c & kKHzVariant) && !kHzVariant) && !((c & kNoKHzVariant) && kHzVariant) &&
           !((c & kV16) && !v.IFQV16) && !((c & kNoV16) && v.IFQV16);
}

// The function table's row for the frame, lit on the LCD; UnitText from the range step.
Flags applyFunction(const Status& s, const ModelVariant& v, IndicatorSet& lcd, CurrentReading& r) {
    for (Ind i : kFunctionIndicators) lcd.set(i, false);
    Flags fl;
    r.UnitText.clear();
    for (const FunctionRow& row : kFunctions) {
        if (!matches(row, s, v)) continue;
        for (int i = 0; i < row.litCount; ++i) lcd.set(row.lit[static_cast<std::size_t>(i)], true);
        const bool stepped = s.range >= 0 && s.range < row.stepCount;
        const Step& step = stepped ? row.steps[static_cast<std::size_t>(s.range)] : row.always;
        r.UnitText = step.unit;
        setPoint(fl, step.point);
        setPrefix(fl, row.always.prefix);
        setPrefix(fl, step.prefix);
        fl.A = row.amps;
        break;
    }
    return fl;
}

// Status 1 "0" with status 2 "1" shows a frequency whatever the function code says.
void applyFrequencyOverride(const Status& s, Flags& fl, IndicatorSet& lcd, CurrentReading& r) {
    if (!s.frequencyOverride) return;
    fl = Flags{};
    lcd.set(Ind::LcdV, false);
    lcd.set(Ind::LCDHz, true);
    lcd.set(Ind::LcdRPM, false);
    if (s.range < 0 || s.range > 5) return;
    r.UnitText = s.range <= 2 ? "kHz" : "MHz";
    setPoint(fl, static_cast<Point>(1 + s.range % 3));
    setPrefix(fl, s.range <= 2 ? Prefix::Kilo : Prefix::Mega);
}

void showFlags(const Flags& fl, IndicatorSet& lcd) {
    lcd.set(Ind::LcdP1, fl.DP1);
    lcd.set(Ind::LcdP2, fl.DP2);
    lcd.set(Ind::LcdP3, fl.DP3);
    lcd.set(Ind::LCDk, fl.k);
    lcd.set(Ind::LCDM1, fl.M);
    lcd.set(Ind::Lcdm, fl.m);
    lcd.set(Ind::LCDu, fl.u);
    lcd.set(Ind::LCDA, fl.A);
    lcd.set(Ind::LCDn, fl.n);
}

// The four digit texts (one character each, empty once dropped) and the separators after
// digits 1 to 3.
struct Display {
    std::string_view d[4];
    std::string_view p[3];
};

constexpr char kZero[] = "0";
constexpr char kL[] = {kOverloadL, 0};

// Diode and continuity drop digit 4; continuity drops its point after digit 3 as well but
// keeps the flag (leading-zero blanking still reads it).
Display readDisplay(std::string_view frame, const Status& s, const Flags& fl, std::string_view sep,
                    IndicatorSet& lcd, CurrentReading& r) {
    Display out;
    for (std::size_t i = 0; i < 4; ++i) out.d[i] = frame.substr(2 + i, 1);
    if (s.overload) {
        out.d[1] = kZero;
        out.d[2] = kL;
    }
    out.p[0] = fl.DP1 ? sep : std::string_view();
    out.p[1] = fl.DP2 ? sep : std::string_view();
    out.p[2] = fl.DP3 ? sep : std::string_view();
    if (lcd.on(Ind::LCDDI)) {
        out.d[3] = {};
        r.UnitText += 'V';
    }
    if (lcd.on(Ind::LCDFm)) {
        out.d[3] = {};
        out.p[2] = {};
        lcd.set(Ind::LcdP3, false);
        r.UnitText += '*';
        lcd.set(Ind::LCDohm, true);
    }
    return out;
}

void buildValue(const Display& v, bool negative, std::int32_t fullScale, Meter& m) {
    CurrentReading& r = m.reading;
    ShownValue shown(r.ValueText, m.LocaleDecimalSeparator);
    shown.sign(negative ? "-" : "");
    if (v.d[2] == kL) {
        shown.point(!v.p[0].empty());
        shown.place("0");
        shown.point(!v.p[1].empty());
        shown.place("L");
        shown.point(!v.p[2].empty());
        m.setMeasurement(shown);
        const double over = static_cast<double>(fullScale) + 1;
        r.NumericValue = negative ? -over : over;
        return;
    }
    shown.place(v.d[0]);
    shown.point(!v.p[0].empty());
    shown.place(v.d[1]);
    shown.point(!v.p[1].empty());
    shown.place(v.d[2]);
    shown.point(!v.p[2].empty());
    shown.place(v.d[3]);
    m.setMeasurement(shown);
    long n = 0;
    for (const std::string_view& digit : v.d)
        if (!digit.empty()) n = n * 10 + (digit[0] - '0');
    r.NumericValue = static_cast<double>(negative ? -n : n);
}

constexpr Ind kPlaces[4] = {Ind::LcdDa, Ind::LcdDb, Ind::LcdDc, Ind::LcdDd};

// Leading zeros go dark up to the first decimal point, read from the flags as the table left
// them (the continuity point dropped from the text still counts).
void blankLeadingZeros(const Display& v, const Flags& fl, bool overload, IndicatorSet& lcd) {
    const bool z1 = v.d[0] == "0", z2 = v.d[1] == "0", z3 = v.d[2] == "0";
    int dark = 0;
    if (!fl.DP1 && !fl.DP2 && !fl.DP3) dark = z1 ? (z2 ? (z3 ? 3 : 2) : 1) : 0;
    if ((fl.DP2 || fl.DP3) && z1 && dark < 1) dark = 1;
    if (fl.DP3 && z1 && z2 && dark < 2) dark = 2;
    for (int i = 0; i < 4; ++i) lcd.set(kPlaces[i], i >= dark);
    if (overload) {
        lcd.set(Ind::LcdDa, false);
        lcd.set(Ind::LcdDd, false);
    }
}

void setBar(const Display& v, const Status& s, const Meter& m, IndicatorSet& lcd) {
    if (v.d[2] == kL) {
        lcd.setBarPosition(s.fn == '1' ? 25 : m.OverloadBarPosition);
        return;
    }
    const int n = (v.d[0][0] - '0') * 10 + (v.d[1][0] - '0');
    lcd.setBarPosition(n >= 2 ? n : 1);
}

} // namespace

FrameOutcome LcdDisplayQ31(Meter& m) {
    m.MarkLinkAlive();
    const std::string_view frame = m.FrameText;
    if (!decodable(frame)) return FrameOutcome::Undecodable;
    m.diag.Memo1.add(frame);

    CurrentReading& r = m.reading;
    IndicatorSet& lcd = m.lcd;
    const Status s = readStatus(frame);
    showStatus(s, lcd, r);
    Flags fl = applyFunction(s, m.variant, lcd, r);
    applyFrequencyOverride(s, fl, lcd, r);
    showFlags(fl, lcd);

    const Display v = readDisplay(frame, s, fl, m.LocaleDecimalSeparator, lcd, r);
    buildValue(v, s.negative, r.FullScale, m);
    blankLeadingZeros(v, fl, s.overload, lcd);

    if (r.NumericValue > m.OverrangeHigh || r.NumericValue < m.OverrangeLow) m.hooks().Beep();
    m.UpdateExtremes(0, r.FullScale + 1, false);
    for (int i = 0; i < 4; ++i) lcd.setDigit(kPlaces[i], v.d[i]);
    m.hooks().INDataToTable();
    setBar(v, s, m, lcd);
    return FrameOutcome::Decoded;
}

} // namespace dmm
