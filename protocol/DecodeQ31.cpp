// Family Q31: an 11-character frame of one nibble per byte, as the serial handler hands it over:
//   1 "A" (the 0x0A ending the previous frame)   7  function code f
//   2 range digit r                              8  status 1: bit 3 RPM (f 2) / Celsius (f 4),
//   3..6 digits 1..4                                bit 2 minus, bit 1 low battery, bit 0 overload
//                                                9  status 2: only "1" (with status 1 "0") is used,
//                                                   as the frequency override
//                                               10  status 3: bit 3 DC, bit 2 AC, bit 1 AUTO,
//                                                   bit 0 clear = serial output on
//                                               11 "D" (the 0x0D)
#include "Decoders.h"

#include <string_view>

namespace dmm {

namespace {

constexpr char kOverloadL = '@';

bool isDecimal(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDecimal(c) || (c >= 'A' && c <= 'F');
}
int hexValue(char c) {
    return isDecimal(c) ? c - '0' : c - 'A' + 10;
}

// The flags the function table and the frequency override set; step by step they decide the
// decimal points and the prefix annunciators.
struct Flags {
    bool DP1 = false, DP2 = false, DP3 = false;
    bool k = false, M = false, m = false, u = false, A = false, n = false;
};

// A frame is decodable when every position that is read as a decimal number holds a digit:
// the range digit where a matching row or the override looks at it, and the digits that the
// reading and the bar graph are read from (none at overload; no digit 4 for diode and
// continuity, whose reading drops it).
bool decodable(std::string_view f) {
    for (std::size_t i = 1; i < 10; ++i)
        if (!isHex(f[i])) return false;
    const char fn = f[6];
    const bool override = f[7] == '0' && f[8] == '1';
    const bool readsRange =
        override || fn == 'B' || fn == 'D' || fn == '9' || fn == '3' || fn == '2' || fn == '6';
    if (readsRange && !isDecimal(f[1])) return false;
    const bool overload = hexValue(f[7]) & 1;
    if (!overload) {
        if (!isDecimal(f[2]) || !isDecimal(f[3]) || !isDecimal(f[4])) return false;
        if (fn != '1' && fn != '5' && !isDecimal(f[5])) return false;
    }
    return true;
}

} // namespace

FrameOutcome LcdDisplayQ31(Meter& m) {
    m.MarkLinkAlive();
    const std::string_view frame = m.FrameText;
    if (frame.size() < 11 || !decodable(frame)) return FrameOutcome::Undecodable;

    m.diag.Memo1.add(frame);

    CurrentReading& r = m.reading;
    IndicatorSet& lcd = m.lcd;
    const int range = isDecimal(frame[1]) ? frame[1] - '0' : -1; // read only where decimal
    const char fn = frame[6];
    const int status1 = hexValue(frame[7]);
    const int status3 = hexValue(frame[9]);
    const bool overload = status1 & 1;

    // Digit texts: one character each, empty once dropped.
    std::string_view d[4];
    for (int i = 0; i < 4; ++i) d[i] = frame.substr(static_cast<std::size_t>(2 + i), 1);
    static constexpr char kZero[] = "0";
    static constexpr char kL[] = {kOverloadL, 0};
    if (overload) {
        d[1] = kZero;
        d[2] = kL;
    }

    r.DcAc.clear();
    r.RangeMode.clear();
    r.UnitText.clear();

    const bool negative = status1 & 4;
    const std::string_view sign = negative ? "-" : "";
    lcd.set(Ind::LcdFH, negative);
    lcd.set(Ind::LCDBATT, status1 & 2);

    lcd.set(Ind::LcdAC, status3 & 4);
    if (status3 & 4) r.DcAc = "AC";
    lcd.set(Ind::LcdDc1, status3 & 8);
    if (status3 & 8) r.DcAc = "DC";
    lcd.set(Ind::LcdAuto, status3 & 2);
    r.RangeMode = (status3 & 2) ? "AUTO" : "MANU";
    lcd.set(Ind::LCDRS, !(status3 & 1));
    lcd.set(Ind::LCD232C, !(status3 & 1));

    // The function table, every row in turn; a row that does not match switches off its own
    // indicator only.
    Flags fl;
    const bool variantKHz = m.variant.IFQV16 || m.variant.IFQV31;
    lcd.set(Ind::LcdV, fn == 'B');
    if (fn == 'B') {
        r.UnitText = range == 0 ? "mV" : "V";
        switch (range) {
        case 0:
            fl.DP3 = fl.m = true;
            break;
        case 1:
            fl.DP1 = true;
            break;
        case 2:
            fl.DP2 = true;
            break;
        case 3:
            fl.DP3 = true;
            break;
        default:
            break;
        }
    }
    if (fn == 'D') {
        r.UnitText = "uA";
        fl.A = fl.u = true;
        fl.DP3 = range == 0;
    }
    if (fn == '9') {
        r.UnitText = "mA";
        fl.m = fl.A = true;
        fl.DP2 = range == 0;
        fl.DP3 = range == 1;
    }
    if (fn == 'F') {
        r.UnitText = "A";
        fl.A = fl.DP2 = true;
    }
    lcd.set(Ind::LCDohm, fn == '3');
    if (fn == '3') {
        r.UnitText = range >= 1 && range <= 3 ? "k*" : range == 4 || range == 5 ? "M*" : "*";
        switch (range) {
        case 0:
            fl.DP3 = true;
            break;
        case 1:
            fl.DP1 = fl.k = true;
            break;
        case 2:
            fl.DP2 = fl.k = true;
            break;
        case 3:
            fl.DP3 = fl.k = true;
            break;
        case 4:
            fl.DP1 = fl.M = true;
            break;
        case 5:
            fl.DP2 = fl.M = true;
            break;
        default:
            break;
        }
    }
    const bool rpm = status1 & 8;
    lcd.set(Ind::LCDHz, fn == '2' && !rpm);
    lcd.set(Ind::LcdRPM, fn == '2' && rpm);
    if (fn == '2' && !rpm) {
        switch (range) {
        case 0:
            if (variantKHz) {
                r.UnitText = "kHz";
                fl.DP1 = fl.k = true;
            } else {
                r.UnitText = "Hz";
            }
            break;
        case 1:
            r.UnitText = "kHz";
            fl.DP2 = fl.k = true;
            break;
        case 2:
            r.UnitText = "kHz";
            fl.DP3 = fl.k = true;
            break;
        case 3:
            r.UnitText = "MHz";
            fl.DP1 = fl.M = true;
            break;
        case 4:
            r.UnitText = "MHz";
            fl.DP2 = fl.M = true;
            break;
        case 5:
            r.UnitText = "MHz";
            fl.DP3 = fl.M = true;
            break;
        default:
            break;
        }
    }
    if (fn == '2' && rpm) {
        if (range == 0 || range == 1)
            r.UnitText = "kRPM";
        else if (range >= 2 && range <= 5)
            r.UnitText = "MRPM";
        switch (range) {
        case 0:
            fl.DP2 = fl.k = true;
            break;
        case 1:
            fl.DP3 = fl.k = true;
            break;
        case 2:
            fl.DP1 = fl.M = true;
            break;
        case 3:
            fl.DP2 = fl.M = true;
            break;
        case 4:
            fl.DP3 = fl.M = true;
            break;
        case 5:
            fl.M = true;
            break;
        default:
            break;
        }
    }
    lcd.set(Ind::LCDCS, fn == '4' && rpm);
    lcd.set(Ind::LCDFS, fn == '4' && !rpm);
    if (fn == '4') r.UnitText = rpm ? "#" : "?";
    lcd.set(Ind::LCDFm, fn == '5');
    if (fn == '5') {
        if (m.variant.IFQV16) {
            lcd.set(Ind::LCDohm, true);
            r.UnitText = "&*";
        } else {
            r.UnitText = "&";
        }
        fl.DP3 = true;
    }
    lcd.set(Ind::LCDDI, fn == '1');
    if (fn == '1') {
        lcd.set(Ind::LcdV, true);
        r.UnitText = ")";
        fl.DP1 = true;
    }
    lcd.set(Ind::LCDF, fn == '6');
    if (fn == '6') {
        r.UnitText = range <= 2 ? "nF" : range <= 5 ? "uF" : range <= 7 ? "mF" : "";
        switch (range) {
        case 0:
            fl.DP1 = fl.n = true;
            break;
        case 1:
            fl.DP2 = fl.n = true;
            break;
        case 2:
            fl.DP3 = fl.n = true;
            break;
        case 3:
            fl.DP1 = fl.u = true;
            break;
        case 4:
            fl.DP2 = fl.u = true;
            break;
        case 5:
            fl.DP3 = fl.u = true;
            break;
        case 6:
            fl.DP1 = fl.m = true;
            break;
        case 7:
            fl.DP2 = fl.m = true;
            break;
        default:
            break;
        }
    }

    // Frequency override: status 1 "0" with status 2 "1" shows a frequency whatever f says.
    if (frame[7] == '0' && frame[8] == '1') {
        fl = Flags{};
        lcd.set(Ind::LcdV, false);
        lcd.set(Ind::LCDHz, true);
        lcd.set(Ind::LcdRPM, false);
        if (range >= 0 && range <= 5) {
            r.UnitText = range <= 2 ? "kHz" : "MHz";
            fl.DP1 = range % 3 == 0;
            fl.DP2 = range % 3 == 1;
            fl.DP3 = range % 3 == 2;
            fl.k = range <= 2;
            fl.M = range >= 3;
        }
    }

    const std::string_view sep = m.LocaleDecimalSeparator;
    std::string_view p1 = fl.DP1 ? sep : std::string_view();
    std::string_view p2 = fl.DP2 ? sep : std::string_view();
    std::string_view p3 = fl.DP3 ? sep : std::string_view();
    lcd.set(Ind::LcdP1, fl.DP1);
    lcd.set(Ind::LcdP2, fl.DP2);
    lcd.set(Ind::LcdP3, fl.DP3);
    lcd.set(Ind::LCDk, fl.k);
    lcd.set(Ind::LCDM1, fl.M);
    lcd.set(Ind::Lcdm, fl.m);
    lcd.set(Ind::LCDu, fl.u);
    lcd.set(Ind::LCDA, fl.A);
    lcd.set(Ind::LCDn, fl.n);

    if (lcd.on(Ind::LCDDI)) {
        d[3] = {};
        r.UnitText += 'V';
    }
    if (lcd.on(Ind::LCDFm)) {
        d[3] = {};
        p3 = {};
        lcd.set(Ind::LcdP3, false);
        r.UnitText += '*';
        lcd.set(Ind::LCDohm, true);
    }

    const bool lShown = d[2] == kL;
    r.ValueText.clear();
    if (lShown)
        r.ValueText.append(sign).append(p1).append("0").append(p2).append("L").append(p3);
    else
        r.ValueText.append(sign)
            .append(d[0])
            .append(p1)
            .append(d[1])
            .append(p2)
            .append(d[2])
            .append(p3)
            .append(d[3]);

    if (lShown) {
        r.NumericValue = negative ? -(static_cast<double>(r.FullScale) + 1)
                                  : static_cast<double>(r.FullScale) + 1;
    } else {
        long n = 0;
        for (const std::string_view& digit : d)
            if (!digit.empty()) n = n * 10 + (digit[0] - '0');
        r.NumericValue = static_cast<double>(negative ? -n : n);
    }

    // Leading-zero blanking, from the flags as the table left them (the continuity point
    // dropped above still counts).
    static constexpr Ind places[4] = {Ind::LcdDa, Ind::LcdDb, Ind::LcdDc, Ind::LcdDd};
    for (Ind place : places) lcd.set(place, true);
    const bool z1 = d[0] == "0", z2 = d[1] == "0", z3 = d[2] == "0";
    if (!fl.DP1 && !fl.DP2 && !fl.DP3) {
        if (z1 && z2 && z3) {
            lcd.set(Ind::LcdDa, false);
            lcd.set(Ind::LcdDb, false);
            lcd.set(Ind::LcdDc, false);
        } else if (z1 && z2) {
            lcd.set(Ind::LcdDa, false);
            lcd.set(Ind::LcdDb, false);
        } else if (z1) {
            lcd.set(Ind::LcdDa, false);
        }
    }
    if (fl.DP2 && z1) lcd.set(Ind::LcdDa, false);
    if (fl.DP3 && z1 && z2) {
        lcd.set(Ind::LcdDa, false);
        lcd.set(Ind::LcdDb, false);
    }
    if (fl.DP3 && z1) lcd.set(Ind::LcdDa, false);
    if (overload) {
        lcd.set(Ind::LcdDa, false);
        lcd.set(Ind::LcdDd, false);
    }

    if (r.NumericValue > m.OverrangeHigh || r.NumericValue < m.OverrangeLow) m.hooks().Beep();

    m.UpdateExtremes(0, r.FullScale + 1, false);

    for (int i = 0; i < 4; ++i) lcd.setDigit(places[i], d[i]);

    m.hooks().INDataToTable();

    if (lShown) {
        lcd.setBarPosition(fn == '1' ? 25 : m.OverloadBarPosition);
    } else {
        const int n = (d[0][0] - '0') * 10 + (d[1][0] - '0');
        lcd.setBarPosition(n >= 2 ? n : 1);
    }
    return FrameOutcome::Decoded;
}

} // namespace dmm
