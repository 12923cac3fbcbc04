// Family Q13: the meter sends the raw state of its LCD, 14 bytes with four segment or annunciator
// bits each (bit 3 first). Byte map, bit 3 to bit 0:
//   1  AC, DC, AUTO, RS232          8  P3, D4 e, D4 f, D4 a
//   2  minus, D1 e, D1 f, D1 a      9  D4 d, D4 c, D4 g, D4 b
//   3  D1 d, D1 c, D1 g, D1 b      10  micro, nano, kilo, diode
//   4  P1, D2 e, D2 f, D2 a        11  milli, percent, mega, continuity
//   5  D2 d, D2 c, D2 g, D2 b      12  farad, ohm, REC, HOLD
//   6  P2, D3 e, D3 f, D3 a        13  ampere, volt, hertz, low battery
//   7  D3 d, D3 c, D3 g, D3 b      14  -, -, -, degree Celsius
// Positions below count the 56 bits from 1, bit 3 of byte 1 first.
#include "Decoders.h"
#include "HexDigits.h"
#include "ShownValue.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dmm {

namespace {

class SegmentBits {
public:
    explicit SegmentBits(std::string_view frame) {
        for (std::size_t i = 0; i < nibbles_.size() && i < frame.size(); ++i)
            // The handlers hand over upper-case hex only; anything else reads as dark segments.
            nibbles_[i] = static_cast<std::uint8_t>(std::max(0, hexValue(frame[i])));
    }
    // Position 1..56, as in the byte map above.
    bool at(int position) const {
        const int index = position - 1;
        return (nibbles_[static_cast<std::size_t>(index / 4)] >> (3 - index % 4)) & 1;
    }

private:
    std::array<std::uint8_t, 14> nibbles_{};
};

// Digit Dn (1..4): bits 3..0 of byte 2n+1, then bits 2..0 of byte 2n, i.e. segments
// d c g b e f a. Returns the digit font character, or 0 for a dark or unknown pattern.
char decodeDigit(const SegmentBits& bits, int n) {
    const int high = 4 * (2 * n) + 1;    // bit 3 of byte 2n+1
    const int low = 4 * (2 * n - 1) + 2; // bit 2 of byte 2n
    unsigned pattern = 0;
    for (int k = 0; k < 4; ++k) pattern = (pattern << 1) | (bits.at(high + k) ? 1u : 0u);
    for (int k = 0; k < 3; ++k) pattern = (pattern << 1) | (bits.at(low + k) ? 1u : 0u);
    switch (pattern) {
    case 0b1101111:
        return '0';
    case 0b0101000:
        return '1';
    case 0b1011101:
        return '2';
    case 0b1111001:
        return '3';
    case 0b0111010:
        return '4';
    case 0b1110011:
        return '5';
    case 0b1110111:
        return '6';
    case 0b0101001:
        return '7';
    case 0b1111111:
        return '8';
    case 0b1111011:
        return '9';
    case 0b1000110:
        // D1 has no L on this meter's glass.
        return n == 1 ? 0 : kOverloadL;
    default:
        return 0;
    }
}

// The whole number the digit places write side by side. A dark place is the empty text and adds
// nothing wherever it stands: a temperature shows three digits and a dark fourth place. No lit
// place, or an L, leaves no number.
std::optional<long> wholeNumber(bool negative, const char* places, int count) {
    long value = 0;
    bool lit = false;
    for (int i = 0; i < count; ++i) {
        const char c = places[i];
        if (c == 0) continue;
        if (c < '0' || c > '9') return std::nullopt;
        lit = true;
        value = value * 10 + (c - '0');
    }
    if (!lit) return std::nullopt;
    return negative ? -value : value;
}

std::string_view text(const char& c) {
    return c ? std::string_view(&c, 1) : std::string_view();
}

// The mode annunciators: AC (with TRMS on the IFQV14 variant), DC, AUTO, RS232 and the sign.
// Returns whether the reading is negative.
bool modeAnnunciators(const SegmentBits& bits, Meter& m) {
    CurrentReading& r = m.reading;
    IndicatorSet& lcd = m.lcd;
    const bool ac = bits.at(1);
    lcd.set(Ind::LcdAC, ac);
    if (ac) r.DcAc = "AC";
    if (m.variant.IFQV14) {
        lcd.set(Ind::LCDTRMST, ac);
        lcd.set(Ind::LCDTRMS, ac);
    }
    if (bits.at(2)) r.DcAc = "DC"; // after AC: DC wins
    const bool autoRange = bits.at(3);
    lcd.set(Ind::LcdAuto, autoRange);
    r.RangeMode = autoRange ? "AUTO" : "MANU";
    lcd.set(Ind::LCDRS, bits.at(4));
    lcd.set(Ind::LCD232C, bits.at(4));
    const bool negative = bits.at(5);
    lcd.set(Ind::LcdFH, negative);
    return negative;
}

// The three decimal points, each the locale's separator in the value text when lit.
std::array<bool, 3> decimalPoints(const SegmentBits& bits, Meter& m) {
    std::array<bool, 3> p{};
    static constexpr Ind points[3] = {Ind::LcdP1, Ind::LcdP2, Ind::LcdP3};
    for (std::size_t i = 0; i < 3; ++i) {
        const bool on = bits.at(13 + 8 * static_cast<int>(i));
        m.lcd.set(points[i], on);
        p[i] = on;
    }
    return p;
}

// The prefix and unit annunciators, each adding its letter to the unit text; then degrees
// Celsius, which replaces the unit, and hertz, which overrides Celsius and fixes the chart's
// axis.
void unitAnnunciators(const SegmentBits& bits, Meter& m) {
    struct Annunciator {
        int position;
        Ind indicator;
        const char* unit; // appended when on; nullptr for none
    };
    static constexpr Annunciator annunciators[] = {
        {37, Ind::LCDu, "u"},      {38, Ind::LCDn, "n"},       {39, Ind::LCDk, "k"},
        {40, Ind::LCDDI, nullptr}, {41, Ind::Lcdm, "m"},       {42, Ind::LCDBF, "%"},
        {43, Ind::LCDM1, "M"},     {44, Ind::LCDFm, nullptr},  {45, Ind::LCDF, "F"},
        {46, Ind::LCDohm, "*"},    {47, Ind::LCDRec, nullptr}, {48, Ind::LCDHold, nullptr},
        {49, Ind::LCDA, "A"},      {50, Ind::LcdV, "V"},       {52, Ind::LCDBATT, nullptr},
    };
    CurrentReading& r = m.reading;
    for (const Annunciator& a : annunciators) {
        const bool on = bits.at(a.position);
        m.lcd.set(a.indicator, on);
        if (on && a.unit) r.UnitText += a.unit;
    }
    const bool hertz = bits.at(51);
    const bool celsius = bits.at(56) && !hertz;
    m.lcd.set(Ind::LCDCS, celsius);
    if (celsius) {
        r.DcAc.clear();
        r.UnitText = "#";
    }
    m.lcd.set(Ind::LCDHz, hertz);
    if (hertz) {
        m.lcd.set(Ind::LCDCS, false);
        r.UnitText += "Hz";
        r.RangeMode = "AUTO";
    }
    m.FrequencyAxisMode = hertz;
    if (m.FrequencyAxisMode)
        m.hooks().SetValueAxis(-5000, 5000);
    else
        m.hooks().SetValueAxis(-static_cast<double>(r.FullScale), r.FullScale);
}

void writeValue(bool negative, const char (&d)[4], const std::array<bool, 3>& p, Meter& m) {
    ShownValue shown(m.reading.ValueText, m.LocaleDecimalSeparator);
    shown.sign(negative ? "-" : "");
    shown.place(text(d[0]));
    shown.point(p[0]);
    shown.place(text(d[1]));
    shown.point(p[1]);
    shown.place(d[2] == kOverloadL ? std::string_view("L") : text(d[2]));
    shown.point(p[2]);
    shown.place(text(d[3]));
    m.setMeasurement(shown);
}

// The display count; an overload ("0L" in the middle places) reads as the full scale.
std::optional<double> displayCount(bool negative, const char (&d)[4], std::int32_t fullScale) {
    if (d[1] == '0' && d[2] == kOverloadL)
        return negative ? -static_cast<double>(fullScale) : fullScale;
    if (auto n = wholeNumber(negative, d, 4)) return static_cast<double>(*n);
    return std::nullopt;
}

// The digits and the bar on the mirror, and the reading to the recorder and the chart. Without
// a number there is nothing to record, compare or plot; the mirror still follows the glass.
void showAndRecord(Meter& m, const char (&d)[4], std::optional<double> value) {
    CurrentReading& r = m.reading;
    if (value) {
        r.NumericValue = *value;
        if (r.NumericValue > m.OverrangeHigh || r.NumericValue < m.OverrangeLow) m.hooks().Beep();
        m.UpdateExtremes(0, r.FullScale, false);
    }
    static constexpr Ind places[4] = {Ind::LcdDa, Ind::LcdDb, Ind::LcdDc, Ind::LcdDd};
    for (std::size_t i = 0; i < 4; ++i) m.lcd.setDigit(places[i], text(d[i]));

    if (value) m.hooks().INDataToTable();

    if (d[1] == '0' && d[2] == kOverloadL) {
        m.lcd.setBarPosition(m.OverloadBarPosition);
    } else {
        const auto n = wholeNumber(false, d, 2);
        m.lcd.setBarPosition(n && *n >= 2 ? static_cast<int>(*n) : 1);
    }
    if (value) {
        m.hooks().AddSeriesPoint(1, *value);
        m.hooks().ShowChartOwnPage();
        m.hooks().AddSeriesPoint(0, *value);
    }
}

} // namespace

FrameOutcome LcdDisplayQ13(Meter& m) {
    m.MarkLinkAlive();
    const SegmentBits bits(m.FrameText);
    char d[4];
    for (int n = 1; n <= 4; ++n) d[n - 1] = decodeDigit(bits, n);

    CurrentReading& r = m.reading;
    r.DcAc.clear();
    r.RangeMode.clear();
    r.UnitText.clear();
    // In this order: a later stage may overwrite what an earlier one set.
    const bool negative = modeAnnunciators(bits, m);
    const std::array<bool, 3> points = decimalPoints(bits, m);
    unitAnnunciators(bits, m);
    writeValue(negative, d, points, m);
    showAndRecord(m, d, displayCount(negative, d, r.FullScale));
    return FrameOutcome::Decoded;
}

} // namespace dmm
