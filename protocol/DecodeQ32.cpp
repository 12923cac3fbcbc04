// Family Q32, the 20000-count meter. FrameText, one hex digit per frame byte:
//   1-5  digits 1 to 5 (1 "A": overload, then 2 "C" picks the "@0" form; 4 "B": all zeros;
//        5 "A": digit 5 dark)
//   6    range digit r (0-9)
//   7    function code f (0-F)
//   8    coupling digit (0-9)
//   9    status digit (0-9): 8 ignored, 4 minus sign, then exactly 1 automatic ranging
//   10,11 "D", "A"
// NumericValue is the display count; FullScale is the range's full scale in display units.
#include "Decoders.h"
#include "HexDigits.h"
#include "ShownValue.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace dmm {

namespace {

constexpr int kNotSet = -1;

// One row of the function table, resolved for the frame's range digit.
struct FunctionRow {
    Ind indicators[3];
    int indicatorCount = 0;
    std::string unit;
    int decimalPos = kNotSet;
    std::int32_t fullScale = 0; // meaningful only where decimalPos is set (or for f 0)
    bool setsFullScale = false;
    std::string_view dcAc; // coupling digit 0
};

constexpr int kAnyRange = -1;

// What one range digit (or every range, kAnyRange) adds to a function: a prefix, whose
// annunciator lights and whose letter goes before the unit, and the range's scale.
struct RangeStep {
    int r;
    char prefix; // 0, 'k', 'M', 'm', 'u' or 'n'
    int decimalPos;
    std::int32_t fullScale; // 0: the range leaves FullScale as it was
};

struct FunctionDef {
    std::array<Ind, 2> lit;
    int litCount;
    std::string_view unit;
    std::string_view dcAc;
    std::array<RangeStep, 8> steps;
    int stepCount;
};

constexpr Ind kNoInd = Ind::LcdV; // filler for unused indicator slots

// The function codes 0 to F. Ranges a row does not list show the plain unit and keep the
// decimal point unset and FullScale as it was.
constexpr FunctionDef kFunctions[16] = {
    /* 0 */ {{kNoInd, kNoInd}, 0, "", "DC", {{{kAnyRange, 0, kNotSet, 200}}}, 1},
    /* 1 */
    {{Ind::LcdV, kNoInd},
     1,
     "V",
     "DC",
     {{{1, 0, 0, 2}, {2, 0, 1, 20}, {3, 0, 2, 200}, {4, 0, 3, 1000}}},
     4},
    /* 2 */
    {{Ind::LcdV, kNoInd},
     1,
     "V",
     "",
     {{{1, 0, 0, 2}, {2, 0, 1, 20}, {3, 0, 2, 200}, {4, 0, 3, 1000}}},
     4},
    /* 3 */ {{Ind::LcdV, Ind::Lcdm}, 2, "mV", "DC", {{{kAnyRange, 0, 2, 200}}}, 1},
    /* 4 */
    {{Ind::LCDohm, kNoInd},
     1,
     "*",
     "OHM",
     {{{1, 0, 2, 200},
       {2, 'k', 0, 2},
       {3, 'k', 1, 20},
       {4, 'k', 2, 200},
       {5, 'M', 0, 2},
       {6, 'M', 1, 20}}},
     6},
    /* 5 */
    {{Ind::LCDF, kNoInd},
     1,
     "F",
     "CAP",
     {{{1, 'n', 1, 20},
       {2, 'n', 2, 200},
       {3, 'u', 0, 2},
       {4, 'u', 1, 20},
       {5, 'u', 2, 200},
       {6, 'm', 0, 2},
       {7, 'm', 1, 20}}},
     7},
    /* 6 */ {{Ind::LCDCS, kNoInd}, 1, "#", "Temperature", {{{kAnyRange, 0, 3, 1000}}}, 1},
    /* 7 */ {{Ind::LCDA, kNoInd}, 1, "A", "DC", {{{0, 'u', 2, 200}, {1, 'u', 3, 2000}}}, 2},
    /* 8 */ {{Ind::LCDA, kNoInd}, 1, "A", "DC", {{{0, 'm', 1, 20}, {1, 'm', 2, 200}}}, 2},
    /* 9 */ {{Ind::LCDA, kNoInd}, 1, "A", "DC", {{{kAnyRange, 0, 1, 10}}}, 1},
    /* A */ {{Ind::LCDFm, Ind::LCDohm}, 2, "*", "OHM", {{{kAnyRange, 0, 2, 1000}}}, 1},
    /* B */ {{Ind::LCDDI, Ind::LcdV}, 2, "V", "Diode", {{{kAnyRange, 0, 0, 20}}}, 1},
    /* C */
    {{Ind::LCDHz, kNoInd},
     1,
     "Hz",
     "Frequency",
     {{{0, 0, 1, 20},
       {1, 0, 2, 200},
       {2, 'k', 0, 2},
       {3, 'k', 1, 20},
       {4, 'k', 2, 200},
       {5, 'M', 0, 2},
       {6, 'M', 1, 20},
       {7, 'M', 2, 200}}},
     8},
    /* D */ {{Ind::LCDFS, kNoInd}, 1, "?", "Temperature", {{{kAnyRange, 0, 3, 1832}}}, 1},
    /* E */ {{Ind::lcdW, kNoInd}, 1, "W", "", {{{kAnyRange, 0, 3, 200}}}, 1},
    /* F */ {{Ind::LCDBF, kNoInd}, 1, "mA%", "", {{{kAnyRange, 0, 2, 200}}}, 1},
};

Ind prefixIndicator(char prefix) {
    switch (prefix) {
    case 'k':
        return Ind::LCDk;
    case 'M':
        return Ind::LCDM1;
    case 'm':
        return Ind::Lcdm;
    case 'u':
        return Ind::LCDu;
    default:
        return Ind::LCDn;
    }
}

FunctionRow functionRow(int f, int r) {
    const FunctionDef& def = kFunctions[f & 0xF];
    FunctionRow row;
    for (int i = 0; i < def.litCount; ++i)
        row.indicators[row.indicatorCount++] = def.lit[static_cast<std::size_t>(i)];
    row.unit = def.unit;
    row.dcAc = def.dcAc;
    for (int i = 0; i < def.stepCount; ++i) {
        const RangeStep& step = def.steps[static_cast<std::size_t>(i)];
        if (step.r != kAnyRange && step.r != r) continue;
        if (step.prefix != 0) {
            row.indicators[row.indicatorCount++] = prefixIndicator(step.prefix);
            row.unit.insert(row.unit.begin(), step.prefix);
        }
        row.decimalPos = step.decimalPos;
        row.fullScale = step.fullScale;
        row.setsFullScale = true;
        break;
    }
    return row;
}

// Digits 1 to 5 as the display shows them; "@" is the overload L of the digit font.
struct Digits {
    std::string_view d[5];
};

Digits readDigits(std::string_view frame) {
    static constexpr std::string_view kDigitText[10] = {"0", "1", "2", "3", "4",
                                                        "5", "6", "7", "8", "9"};
    Digits out;
    if (frame[0] == 'A') {
        if (frame[1] == 'C') {
            out.d[2] = "@";
            out.d[3] = "0";
        } else {
            out.d[2] = "0";
            out.d[3] = "@";
        }
    } else if (frame[3] == 'B') {
        for (auto& d : out.d) d = "0";
    } else {
        for (int i = 0; i < 4; ++i) out.d[i] = kDigitText[frame[i] - '0'];
        if (frame[4] != 'A') out.d[4] = kDigitText[frame[4] - '0'];
    }
    return out;
}

// A frame that puts a letter where a decimal digit is read cannot be decoded. The letters the
// tables give a meaning (digit 1 "A", digit 4 "B", digit 5 "A", any function code) are fine.
bool decodable(std::string_view frame) {
    if (frame.size() < 9) return false;
    if (!isDecimal(frame[5]) || hexValue(frame[6]) < 0 || !isDecimal(frame[7]) ||
        !isDecimal(frame[8]))
        return false;
    if (frame[0] == 'A' || frame[3] == 'B') return true;
    for (int i = 0; i < 4; ++i)
        if (!isDecimal(frame[i])) return false;
    return isDecimal(frame[4]) || frame[4] == 'A';
}

// 10^(4 - decimalPos): the counts per display unit, for the chart axis.
std::int64_t countsPerUnit(int decimalPos) {
    std::int64_t c = 1;
    for (int i = decimalPos; i < 4; ++i) c *= 10;
    return c;
}

constexpr Ind kFunctionIndicators[] = {
    Ind::LcdV,  Ind::Lcdm, Ind::LCDohm, Ind::LCDk,  Ind::LCDM1, Ind::LCDF,  Ind::LCDn,  Ind::LCDu,
    Ind::LCDCS, Ind::LCDA, Ind::LCDHz,  Ind::LCDBF, Ind::LCDFm, Ind::LCDDI, Ind::LCDFS, Ind::lcdW,
};
constexpr Ind kCouplingIndicators[] = {Ind::LcdAC, Ind::LCDJa, Ind::LcdDc1, Ind::LCDTRMST,
                                       Ind::LCDTRMS};
constexpr Ind kPoints[] = {Ind::LcdP0, Ind::LcdP1, Ind::LcdP2, Ind::LcdP3};

// The coupling digit: its annunciators and DcAc; digit 0 leaves the function's own word.
void showCoupling(char digit, const FunctionRow& row, IndicatorSet& lcd, CurrentReading& rd) {
    for (Ind i : kCouplingIndicators) lcd.set(i, false);
    switch (digit) {
    case '0':
        rd.DcAc.assign(row.dcAc);
        break;
    case '1':
        lcd.set(Ind::LcdAC, true);
        lcd.set(Ind::LCDTRMST, true);
        lcd.set(Ind::LCDTRMS, true);
        rd.DcAc.assign("AC");
        break;
    case '2':
        lcd.set(Ind::LcdDc1, true);
        rd.DcAc.assign("DC");
        break;
    case '3':
        for (Ind i : kCouplingIndicators) lcd.set(i, true);
        rd.DcAc.assign("AC+DC");
        break;
    default:
        break;
    }
}

// The status digit: 8 is ignored, 4 is the minus sign, and what is left must be exactly 1 for
// automatic ranging. Returns whether the minus sign is on.
bool showStatus(char digit, IndicatorSet& lcd, CurrentReading& rd) {
    int s = digit - '0';
    if (s >= 8) s -= 8;
    const bool minus = s >= 4;
    if (minus) s -= 4;
    lcd.set(Ind::LcdFH, minus);
    lcd.set(Ind::LcdAuto, s == 1);
    if (s == 1) rd.RangeMode.assign("AUTO");
    return minus;
}

// Duty cycle: the frequency function with the minus sign reads as a percentage with two
// decimals and no sign. Returns whether it applied.
bool applyDutyCycle(IndicatorSet& lcd, CurrentReading& rd) {
    if (!lcd.on(Ind::LCDHz) || !lcd.on(Ind::LcdFH)) return false;
    lcd.set(Ind::LCDk, false);
    lcd.set(Ind::LCDM1, false);
    lcd.set(Ind::LCDHz, false);
    lcd.set(Ind::LcdFH, false);
    lcd.set(Ind::LCDBF, true);
    rd.UnitText.assign("%");
    return true;
}

// The two overload forms of digits 3 and 4.
struct Overload {
    bool L0;    // "@" then "0": shown as L0.
    bool zeroL; // "0" then "@"
};

void buildValueText(const Digits& dg, bool negative, int decimalPos, Overload ov, IndicatorSet& lcd,
                    ShownValue& shown) {
    bool p[4] = {};
    for (Ind i : kPoints) lcd.set(i, false);
    if (decimalPos >= 0 && decimalPos <= 3) {
        p[decimalPos] = true;
        lcd.set(kPoints[decimalPos], true);
    }
    if (ov.L0) {
        p[3] = true;
        lcd.set(Ind::LcdP3, true);
        p[2] = false;
        lcd.set(Ind::LcdP2, false);
    }
    const std::string_view d3 = dg.d[2], d4 = dg.d[3];
    if (d4 == "@" || d3 != "@") {
        shown.sign(negative ? "-" : "");
        shown.place(dg.d[0]);
        shown.point(p[0]);
        shown.place(dg.d[1]);
        shown.point(p[1]);
        shown.place(d3);
        shown.point(p[2]);
        shown.place(d4 == "@" ? std::string_view("L") : d4);
        shown.point(p[3]);
        shown.place(dg.d[4]);
    } else {
        shown.overloadForm("L0.");
    }
}

double numericValue(const Digits& dg, bool negative, Overload ov, std::int32_t fullScale) {
    if (ov.L0 || ov.zeroL) {
        const double fs = static_cast<double>(fullScale);
        return negative ? -fs : fs;
    }
    std::int64_t count = 0;
    for (std::string_view d : dg.d)
        if (!d.empty()) count = count * 10 + (d[0] - '0');
    return static_cast<double>(negative ? -count : count);
}

void setBar(const Digits& dg, Overload ov, const Meter& m, IndicatorSet& lcd) {
    if (ov.zeroL) {
        lcd.setBarPosition(m.OverloadBarPosition);
    } else if (ov.L0) {
        lcd.setBarPosition(1);
    } else {
        const int n = (dg.d[0][0] - '0') * 10 + (dg.d[1][0] - '0');
        lcd.setBarPosition(n >= 2 ? n : 1);
    }
}

} // namespace

FrameOutcome LcdDisplayQ32(Meter& m) {
    m.MarkLinkAlive();
    const std::string_view frame(m.FrameText);
    if (!decodable(frame)) return FrameOutcome::Undecodable;

    CurrentReading& rd = m.reading;
    IndicatorSet& lcd = m.lcd;
    DecoderHooks& hooks = m.hooks();

    const Digits dg = readDigits(frame);
    m.diag.USBtxt.assign(frame);
    for (int i = 0; i < 5; ++i) lcd.setDigit(digitPlace(i), dg.d[i]);

    rd.DcAc.clear();
    rd.RangeMode.clear();
    rd.UnitText.clear();
    for (Ind i : kFunctionIndicators) lcd.set(i, false);

    const FunctionRow row = functionRow(hexValue(frame[6]), frame[5] - '0');
    for (int i = 0; i < row.indicatorCount; ++i) lcd.set(row.indicators[i], true);
    rd.UnitText.append(row.unit);
    int decimalPos = row.decimalPos;
    if (row.setsFullScale) rd.FullScale = row.fullScale;

    // The chart plots NumericValue in counts, so the axis spans the full scale in counts;
    // without a decimal position the counts per unit are unknown and the axis keeps its range.
    if (decimalPos != kNotSet) {
        const double span = static_cast<double>(rd.FullScale * countsPerUnit(decimalPos));
        hooks.SetValueAxis(-span, span);
    }

    showCoupling(frame[7], row, lcd, rd);
    bool negative = showStatus(frame[8], lcd, rd);
    if (applyDutyCycle(lcd, rd)) {
        decimalPos = 2;
        negative = false;
    }

    const Overload ov{dg.d[2] == "@" && dg.d[3] == "0", dg.d[2] == "0" && dg.d[3] == "@"};
    ShownValue shown(rd.ValueText, m.LocaleDecimalSeparator);
    buildValueText(dg, negative, decimalPos, ov, lcd, shown);
    m.setMeasurement(shown);
    rd.NumericValue = numericValue(dg, negative, ov, rd.FullScale);

    m.UpdateExtremes(decimalPos == kNotSet ? 0 : decimalPos, rd.FullScale, true);
    hooks.JudgeReading();
    hooks.RecallStep();
    if (!hooks.RecordSIChecked()) hooks.INDataToTable();
    setBar(dg, ov, m, lcd);
    return FrameOutcome::Decoded;
}

} // namespace dmm
