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

#include <cstdint>
#include <string_view>

namespace dmm {

namespace {

constexpr int kNotSet = -1;

inline bool isDecimal(char c) {
    return c >= '0' && c <= '9';
}

inline int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One row of the function table, resolved for the frame's range digit.
struct FunctionRow {
    Ind indicators[3];
    int indicatorCount = 0;
    std::string_view unit;
    int decimalPos = kNotSet;
    std::int32_t fullScale = 0; // meaningful only where decimalPos is set (or for f 0)
    bool setsFullScale = false;
    std::string_view dcAc; // coupling digit 0
};

void on(FunctionRow& row, Ind i) {
    row.indicators[row.indicatorCount++] = i;
}

void scale(FunctionRow& row, int decimalPos, std::int32_t fullScale) {
    row.decimalPos = decimalPos;
    row.fullScale = fullScale;
    row.setsFullScale = true;
}

// Ranges spanning 2, 20 and 200 in steps, as several functions use them.
struct Range {
    int decimalPos;
    std::int32_t fullScale;
};
constexpr Range k2{0, 2}, k20{1, 20}, k200{2, 200};

FunctionRow functionRow(int f, int r) {
    FunctionRow row;
    switch (f) {
    case 0x0:
        row.fullScale = 200;
        row.setsFullScale = true; // DecimalPos stays not set
        row.dcAc = "DC";
        break;
    case 0x1:
    case 0x2:
        on(row, Ind::LcdV);
        row.unit = "V";
        if (r == 1)
            scale(row, 0, 2);
        else if (r == 2)
            scale(row, 1, 20);
        else if (r == 3)
            scale(row, 2, 200);
        else if (r == 4)
            scale(row, 3, 1000);
        row.dcAc = f == 1 ? "DC" : "";
        break;
    case 0x3:
        on(row, Ind::LcdV);
        on(row, Ind::Lcdm);
        row.unit = "mV";
        scale(row, 2, 200);
        row.dcAc = "DC";
        break;
    case 0x4: {
        on(row, Ind::LCDohm);
        row.unit = "*";
        if (r >= 2 && r <= 4) {
            on(row, Ind::LCDk);
            row.unit = "k*";
        } else if (r == 5 || r == 6) {
            on(row, Ind::LCDM1);
            row.unit = "M*";
        }
        static constexpr Range ranges[] = {k200, k2, k20, k200, k2, k20};
        if (r >= 1 && r <= 6) scale(row, ranges[r - 1].decimalPos, ranges[r - 1].fullScale);
        row.dcAc = "OHM";
        break;
    }
    case 0x5: {
        on(row, Ind::LCDF);
        row.unit = "F";
        if (r == 1 || r == 2) {
            on(row, Ind::LCDn);
            row.unit = "nF";
        } else if (r >= 3 && r <= 5) {
            on(row, Ind::LCDu);
            row.unit = "uF";
        } else if (r == 6 || r == 7) {
            on(row, Ind::Lcdm);
            row.unit = "mF";
        }
        static constexpr Range ranges[] = {k20, k200, k2, k20, k200, k2, k20};
        if (r >= 1 && r <= 7) scale(row, ranges[r - 1].decimalPos, ranges[r - 1].fullScale);
        row.dcAc = "CAP";
        break;
    }
    case 0x6:
        on(row, Ind::LCDCS);
        row.unit = "#";
        scale(row, 3, 1000);
        row.dcAc = "Temperature";
        break;
    case 0x7:
        on(row, Ind::LCDA);
        row.unit = "A";
        if (r == 0 || r == 1) {
            on(row, Ind::LCDu);
            row.unit = "uA";
        }
        if (r == 0)
            scale(row, 2, 200);
        else if (r == 1)
            scale(row, 3, 2000);
        row.dcAc = "DC";
        break;
    case 0x8:
        on(row, Ind::LCDA);
        row.unit = "A";
        if (r == 0 || r == 1) {
            on(row, Ind::Lcdm);
            row.unit = "mA";
        }
        if (r == 0)
            scale(row, 1, 20);
        else if (r == 1)
            scale(row, 2, 200);
        row.dcAc = "DC";
        break;
    case 0x9:
        on(row, Ind::LCDA);
        row.unit = "A";
        scale(row, 1, 10);
        row.dcAc = "DC";
        break;
    case 0xA:
        on(row, Ind::LCDFm);
        on(row, Ind::LCDohm);
        row.unit = "*";
        scale(row, 2, 1000);
        row.dcAc = "OHM";
        break;
    case 0xB:
        on(row, Ind::LCDDI);
        on(row, Ind::LcdV);
        row.unit = "V";
        scale(row, 0, 20);
        row.dcAc = "Diode";
        break;
    case 0xC: {
        on(row, Ind::LCDHz);
        row.unit = "Hz";
        if (r >= 2 && r <= 4) {
            on(row, Ind::LCDk);
            row.unit = "kHz";
        } else if (r >= 5 && r <= 7) {
            on(row, Ind::LCDM1);
            row.unit = "MHz";
        }
        static constexpr Range ranges[] = {k20, k200, k2, k20, k200, k2, k20, k200};
        if (r >= 0 && r <= 7) scale(row, ranges[r].decimalPos, ranges[r].fullScale);
        row.dcAc = "Frequency";
        break;
    }
    case 0xD:
        on(row, Ind::LCDFS);
        row.unit = "?";
        scale(row, 3, 1832);
        row.dcAc = "Temperature";
        break;
    case 0xE:
        on(row, Ind::lcdW);
        row.unit = "W";
        scale(row, 3, 200);
        break;
    default: // 0xF
        on(row, Ind::LCDBF);
        row.unit = "mA%";
        scale(row, 2, 200);
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

} // namespace

FrameOutcome LcdDisplayQ32(Meter& m) {
    // 1.
    m.MarkLinkAlive();
    const std::string_view frame(m.FrameText);
    if (!decodable(frame)) return FrameOutcome::Undecodable;

    CurrentReading& rd = m.reading;
    IndicatorSet& lcd = m.lcd;
    DecoderHooks& hooks = m.hooks();

    // 2.
    const Digits dg = readDigits(frame);
    const std::string_view d1 = dg.d[0], d2 = dg.d[1], d3 = dg.d[2], d4 = dg.d[3], d5 = dg.d[4];

    // 3.
    m.diag.USBtxt.assign(frame);
    for (int i = 0; i < 5; ++i) lcd.setDigit(digitPlace(i), dg.d[i]);

    // 4.
    rd.DcAc.clear();
    rd.RangeMode.clear();
    rd.UnitText.clear();
    for (Ind i : kFunctionIndicators) lcd.set(i, false);

    // 5.
    const int r = frame[5] - '0';
    const int f = hexValue(frame[6]);

    // 6.
    const FunctionRow row = functionRow(f, r);
    for (int i = 0; i < row.indicatorCount; ++i) lcd.set(row.indicators[i], true);
    rd.UnitText.append(row.unit);
    int decimalPos = row.decimalPos;
    if (row.setsFullScale) rd.FullScale = row.fullScale;

    // 7. The chart plots NumericValue in counts, so the axis spans the full scale in counts;
    // without a decimal position the counts per unit are unknown and the axis keeps its range.
    if (decimalPos != kNotSet) {
        const double span = static_cast<double>(rd.FullScale * countsPerUnit(decimalPos));
        hooks.SetValueAxis(-span, span);
    }

    // 8.
    for (Ind i : kCouplingIndicators) lcd.set(i, false);
    switch (frame[7]) {
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

    // 9.
    int s = frame[8] - '0';
    if (s >= 8) s -= 8;
    const bool minus = s >= 4;
    if (minus) s -= 4;
    std::string_view sign = minus ? "-" : "";
    lcd.set(Ind::LcdFH, minus);
    const bool autoRange = s == 1;
    lcd.set(Ind::LcdAuto, autoRange);
    if (autoRange) rd.RangeMode.assign("AUTO");

    // 10. Duty cycle: the frequency function with the minus sign.
    if (lcd.on(Ind::LCDHz) && lcd.on(Ind::LcdFH)) {
        decimalPos = 2;
        lcd.set(Ind::LCDk, false);
        lcd.set(Ind::LCDM1, false);
        lcd.set(Ind::LCDHz, false);
        lcd.set(Ind::LcdFH, false);
        lcd.set(Ind::LCDBF, true);
        sign = "";
        rd.UnitText.assign("%");
    }

    // 11.
    const std::string_view sep(m.LocaleDecimalSeparator);
    std::string_view p[4];
    for (Ind i : kPoints) lcd.set(i, false);
    if (decimalPos >= 0 && decimalPos <= 3) {
        p[decimalPos] = sep;
        lcd.set(kPoints[decimalPos], true);
    }
    const bool overloadL0 = d3 == "@" && d4 == "0";
    const bool overload0L = d3 == "0" && d4 == "@";
    if (overloadL0) {
        p[3] = sep;
        lcd.set(Ind::LcdP3, true);
        p[2] = {};
        lcd.set(Ind::LcdP2, false);
    }

    // 12.
    std::string& vt = rd.ValueText;
    vt.clear();
    if (d4 == "@" || d3 != "@") {
        vt.append(sign).append(d1).append(p[0]).append(d2).append(p[1]).append(d3).append(p[2]);
        vt.append(d4 == "@" ? std::string_view("L") : d4).append(p[3]).append(d5);
    } else {
        vt.assign("L0.");
    }

    // 13.
    if (overload0L || overloadL0) {
        const double fs = static_cast<double>(rd.FullScale);
        rd.NumericValue = sign.empty() ? fs : -fs;
    } else {
        std::int64_t count = 0;
        for (std::string_view d : dg.d)
            if (!d.empty()) count = count * 10 + (d[0] - '0');
        rd.NumericValue = static_cast<double>(sign.empty() ? count : -count);
    }

    // 14.
    m.UpdateExtremes(decimalPos == kNotSet ? 0 : decimalPos, rd.FullScale, true);

    // 15. - 17.
    hooks.JudgeReading();
    hooks.RecallStep();
    if (!hooks.RecordSIChecked()) hooks.INDataToTable();

    // 18.
    if (overload0L) {
        lcd.setBarPosition(m.OverloadBarPosition);
    } else if (overloadL0) {
        lcd.setBarPosition(1);
    } else {
        const int n = (d1[0] - '0') * 10 + (d2[0] - '0');
        lcd.setBarPosition(n >= 2 ? n : 1);
    }
    return FrameOutcome::Decoded;
}

} // namespace dmm
