// The Q13 segment-frame decoder, called directly with FrameText.
#include "Decoders.h"
#include "FrameAssembly.h"
#include "RecordingHooks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dmm {
namespace {

using test::RecordingHooks;

// FrameText of a Q13 frame: the low nibble of each of the 14 bytes.
std::string lowNibbles(const std::array<std::uint8_t, 14>& bytes) {
    std::string s;
    for (std::uint8_t b : bytes) s += "0123456789ABCDEF"[b & 0xF];
    return s;
}

// Segments d c g b e f a of a digit place, as the glass lights them.
std::uint8_t segments(char c) {
    switch (c) {
    case '0':
        return 0b1101111;
    case '1':
        return 0b0101000;
    case '2':
        return 0b1011101;
    case '3':
        return 0b1111001;
    case '4':
        return 0b0111010;
    case '5':
        return 0b1110011;
    case '6':
        return 0b1110111;
    case '7':
        return 0b0101001;
    case '8':
        return 0b1111111;
    case '9':
        return 0b1111011;
    case 'L':
        return 0b1000110;
    case 'u': // segments c d e g: no digit of the table
        return 0b1110100;
    default: // ' ' dark
        return 0;
    }
}

// Builds a frame from what the glass shows: four digit characters (' ' dark, 'L'), and the
// annunciator bits as (byte, bit) pairs.
struct Q13 {
    std::array<std::uint8_t, 14> nib{};

    explicit Q13(const char* digits, std::initializer_list<std::pair<int, int>> bits = {}) {
        for (int n = 1; n <= 4; ++n) {
            const std::uint8_t p = segments(digits[n - 1]);
            nib[static_cast<std::size_t>(2 * n)] = static_cast<std::uint8_t>(p >> 3);
            nib[static_cast<std::size_t>(2 * n - 1)] |= static_cast<std::uint8_t>(p & 7);
        }
        for (auto [byte, bit] : bits) set(byte, bit);
    }
    Q13& set(int byte, int bit) {
        nib[static_cast<std::size_t>(byte - 1)] |= static_cast<std::uint8_t>(1u << bit);
        return *this;
    }
    std::string text() const { return lowNibbles(nib); }
};

// Annunciator bits by name.
constexpr std::pair<int, int> AC{1, 3}, DC{1, 2}, AUTO{1, 1}, RS232{1, 0}, MINUS{2, 3}, P1{4, 3},
    P2{6, 3}, P3{8, 3}, MICRO{10, 3}, NANO{10, 2}, KILO{10, 1}, DIODE{10, 0}, MILLI{11, 3},
    PERCENT{11, 2}, MEGA{11, 1}, CONT{11, 0}, FARAD{12, 3}, OHM{12, 2}, REC{12, 1}, HOLD{12, 0},
    AMPERE{13, 3}, VOLT{13, 2}, HERTZ{13, 1}, BATT{13, 0}, CELSIUS{14, 0};

// Names of the elements that are on, digit places and link images left out.
std::set<std::string> onSet(const Meter& m) {
    std::set<std::string> s;
    for (std::size_t i = kDigitPlaces; i < kIndicatorCount; ++i) {
        const Ind ind = static_cast<Ind>(i);
        if (ind != Ind::CONok && ind != Ind::CONokN && m.lcd.on(ind)) s.insert(indicatorName(ind));
    }
    return s;
}

std::string digits(const Meter& m) {
    std::string s;
    for (Ind p : {Ind::LcdDa, Ind::LcdDb, Ind::LcdDc, Ind::LcdDd})
        s += m.lcd.digit(p).empty() ? std::string(" ") : m.lcd.digit(p);
    return s;
}

FrameOutcome decode(Meter& m, const std::string& frame) {
    m.FrameText = frame;
    return LcdDisplayQ13(m);
}

TEST(Q13, ExampleFrameFromRawBytes) {
    RecordingHooks hooks;
    Meter m(&hooks);
    const std::string frame = lowNibbles(
        {0x17, 0x20, 0x35, 0x4D, 0x5B, 0x61, 0x7F, 0x82, 0x97, 0xA0, 0xB0, 0xC0, 0xD4, 0xE0});
    EXPECT_EQ(frame, "705DB1F2700040");
    EXPECT_EQ(frame, Q13("1234", {DC, AUTO, RS232, P1, VOLT}).text());
    EXPECT_EQ(decode(m, frame), FrameOutcome::Decoded);
    EXPECT_EQ(m.reading.ValueText, "1.234");
    EXPECT_EQ(m.reading.NumericValue, 1234);
    EXPECT_EQ(m.reading.DcAc, "DC");
    EXPECT_EQ(m.reading.RangeMode, "AUTO");
    EXPECT_EQ(m.reading.UnitText, "V");
    EXPECT_EQ(onSet(m), (std::set<std::string>{"LcdAuto", "LCDRS", "LCD232C", "LcdP1", "LcdV"}));
    EXPECT_EQ(digits(m), "1234");
    EXPECT_EQ(m.lcd.barPosition(), 12);
    EXPECT_TRUE(m.lcd.on(Ind::CONok));
    EXPECT_FALSE(m.lcd.on(Ind::CONokN));
}

struct Row {
    const char* name;
    std::string frame;
    const char* value;
    std::optional<double> numeric; // nullopt: no number, NumericValue stays as it was
    const char* dcac;
    const char* unit;
    const char* range;
    std::set<std::string> on;
    int bar;
    const char* shown = nullptr; // digit places, ' ' for dark; nullptr: not checked
};

class Q13Rows : public testing::TestWithParam<Row> {};

TEST_P(Q13Rows, Decodes) {
    const Row& row = GetParam();
    RecordingHooks hooks;
    Meter m(&hooks);
    m.reading.NumericValue = -777; // a value no row gives, to see "left as it was"
    EXPECT_EQ(decode(m, row.frame), FrameOutcome::Decoded);
    EXPECT_EQ(m.reading.ValueText, row.value);
    EXPECT_EQ(m.reading.NumericValue, row.numeric.value_or(-777));
    EXPECT_EQ(m.reading.DcAc, row.dcac);
    EXPECT_EQ(m.reading.UnitText, row.unit);
    EXPECT_EQ(m.reading.RangeMode, row.range);
    EXPECT_EQ(onSet(m), row.on);
    EXPECT_EQ(m.lcd.barPosition(), row.bar);
    if (row.shown) {
        EXPECT_EQ(digits(m), row.shown);
    }
    EXPECT_EQ(hooks.count("INDataToTable"), row.numeric ? 1 : 0);
}

const Row kRows[] = {
    {"AcAndRs232Only",
     Q13("1234", {AC, RS232, P1, VOLT}).text(),
     "1.234",
     1234,
     "AC",
     "V",
     "MANU",
     {"LcdAC", "LCDRS", "LCD232C", "LcdP1", "LcdV"},
     12},
    {"AcAndDcBothSet",
     Q13("1234", {AC, DC, VOLT}).text(),
     "1234",
     1234,
     "DC",
     "V",
     "MANU",
     {"LcdAC", "LcdV"},
     12},
    {"Millivolt",
     Q13("0123", {MILLI, VOLT, P3}).text(),
     "012.3",
     123,
     "",
     "mV",
     "MANU",
     {"Lcdm", "LcdV", "LcdP3"},
     1},
    {"KiloOhm",
     Q13("1999", {KILO, OHM, P1}).text(),
     "1.999",
     1999,
     "",
     "k*",
     "MANU",
     {"LCDk", "LCDohm", "LcdP1"},
     19},
    {"Nanofarad",
     Q13("4700", {NANO, FARAD, P2}).text(),
     "47.00",
     4700,
     "",
     "nF",
     "MANU",
     {"LCDn", "LCDF", "LcdP2"},
     40},
    {"Microampere",
     Q13("0500", {MICRO, AMPERE, DC}).text(),
     "0500",
     500,
     "DC",
     "uA",
     "MANU",
     {"LCDu", "LCDA"},
     5},
    {"MegahertzSetsAuto",
     Q13("1000", {MEGA, HERTZ, P1}).text(),
     "1.000",
     1000,
     "",
     "MHz",
     "AUTO",
     {"LCDM1", "LCDHz", "LcdP1"},
     10},
    {"Percent",
     Q13("5000", {PERCENT, P2}).text(),
     "50.00",
     5000,
     "",
     "%",
     "MANU",
     {"LCDBF", "LcdP2"},
     40},
    {"Negative",
     Q13("0012", {MINUS, DC, VOLT, P3}).text(),
     "-001.2",
     -12,
     "DC",
     "V",
     "MANU",
     {"LcdFH", "LcdV", "LcdP3"},
     1},
    {"CelsiusAloneReplacesUnitAndCoupling",
     Q13("0250", {CELSIUS, MILLI, VOLT, KILO, DC, P3}).text(),
     "025.0",
     250,
     "",
     "#",
     "MANU",
     {"LCDCS", "Lcdm", "LcdV", "LCDk", "LcdP3"},
     2},
    {"CelsiusWithHertzStaysOff",
     Q13("1234", {CELSIUS, HERTZ, KILO}).text(),
     "1234",
     1234,
     "",
     "kHz",
     "AUTO",
     {"LCDHz", "LCDk"},
     12},
    {"IndicatorsWithoutUnit",
     Q13("1234", {DIODE, CONT, REC, HOLD, BATT}).text(),
     "1234",
     1234,
     "",
     "",
     "MANU",
     {"LCDDI", "LCDFm", "LCDRec", "LCDHold", "LCDBATT"},
     12},
    {"Overload",
     Q13(" 0L ", {P2, OHM}).text(),
     "0.L",
     40000,
     "",
     "*",
     "MANU",
     {"LcdP2", "LCDohm"},
     40,
     " 0@ "},
    {"OverloadNegative",
     Q13(" 0L ", {MINUS}).text(),
     "-0L",
     -40000,
     "",
     "",
     "MANU",
     {"LcdFH"},
     40,
     " 0@ "},
    {"OverloadWithLitOuterPlaces",
     Q13("10L5").text(),
     "10L5",
     40000,
     "",
     "",
     "MANU",
     {},
     40,
     "10@5"},
    {"DarkLeadingPlacesFormANumber",
     Q13(" 234", {VOLT}).text(),
     "234",
     234,
     "",
     "V",
     "MANU",
     {"LcdV"},
     2,
     " 234"},
    {"DarkLeadingPlacesBarFromD2Alone", Q13("  34").text(), "34", 34, "", "", "MANU", {}, 1},
    // No number: the mirror and the texts follow the frame; nothing is recorded.
    {"AllDark",
     Q13("    ", {AUTO, VOLT}).text(),
     "",
     std::nullopt,
     "",
     "V",
     "AUTO",
     {"LcdAuto", "LcdV"},
     1,
     "    "},
    // A dark place drops out of the number wherever it stands.
    {"DarkAfterLitPlace", Q13("1 34").text(), "134", 134, "", "", "MANU", {}, 1, "1 34"},
    {"TemperatureDarkFourthPlace",
     Q13("503 ", {CELSIUS, P2}).text(),
     "50.3",
     503,
     "",
     "#",
     "MANU",
     {"LCDCS", "LcdP2"},
     40, // 50, bounded by the bar's maximum
     "503 "},
    {"DarkBetweenDigits", Q13("5 34").text(), "534", 534, "", "", "MANU", {}, 5, "5 34"},
    {"OnlyD1Lit", Q13("8   ").text(), "8", 8, "", "", "MANU", {}, 8, "8   "},
    {"DarkOuterPlaces", Q13(" 71 ").text(), "71", 71, "", "", "MANU", {}, 7, " 71 "},
    {"OnlyD4Lit", Q13("   6").text(), "6", 6, "", "", "MANU", {}, 1, "   6"},
    {"LetterLOutsideTheOverloadPattern",
     Q13("12L4").text(),
     "12L4",
     std::nullopt,
     "",
     "",
     "MANU",
     {},
     12,
     "12@4"},
    {"LetterLInD4", Q13("123L").text(), "123@", std::nullopt, "", "", "MANU", {}, 12, "123@"},
    {"LetterLInD2", Q13(" L00").text(), "@00", std::nullopt, "", "", "MANU", {}, 1, " @00"},
    {"D1KnowsNoL", Q13("L000").text(), "000", 0, "", "", "MANU", {}, 1, " 000"},
    {"UnknownPatternIsDark", Q13("1u34").text(), "134", 134, "", "", "MANU", {}, 1, "1 34"},
    {"SignAloneIsNoNumber",
     Q13("    ", {MINUS}).text(),
     "-",
     std::nullopt,
     "",
     "",
     "MANU",
     {"LcdFH"},
     1},
};

INSTANTIATE_TEST_SUITE_P(Frames, Q13Rows, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Q13, EveryDigitPatternInEveryPlace) {
    Meter m;
    for (char c = '0'; c <= '9'; ++c) {
        const std::string shown(4, c);
        decode(m, Q13(shown.c_str()).text());
        EXPECT_EQ(digits(m), shown);
        EXPECT_EQ(m.reading.NumericValue, (c - '0') * 1111);
    }
}

// Each annunciator bit alone switches exactly its own element.
TEST(Q13, EachAnnunciatorBitSwitchesItsElement) {
    const struct {
        std::pair<int, int> bit;
        std::set<std::string> on;
    } cases[] = {
        {AC, {"LcdAC"}},      {DC, {}},
        {AUTO, {"LcdAuto"}},  {RS232, {"LCDRS", "LCD232C"}},
        {MINUS, {"LcdFH"}},   {P1, {"LcdP1"}},
        {P2, {"LcdP2"}},      {P3, {"LcdP3"}},
        {MICRO, {"LCDu"}},    {NANO, {"LCDn"}},
        {KILO, {"LCDk"}},     {DIODE, {"LCDDI"}},
        {MILLI, {"Lcdm"}},    {PERCENT, {"LCDBF"}},
        {MEGA, {"LCDM1"}},    {CONT, {"LCDFm"}},
        {FARAD, {"LCDF"}},    {OHM, {"LCDohm"}},
        {REC, {"LCDRec"}},    {HOLD, {"LCDHold"}},
        {AMPERE, {"LCDA"}},   {VOLT, {"LcdV"}},
        {HERTZ, {"LCDHz"}},   {BATT, {"LCDBATT"}},
        {CELSIUS, {"LCDCS"}}, {{14, 1}, {}},
        {{14, 2}, {}},        {{14, 3}, {}},
    };
    Meter m;
    for (const auto& c : cases) {
        // Everything on first, so that the frame under test must switch the rest off.
        decode(m, "FFFFFFFFFFFFFE");
        decode(m, Q13("8888", {c.bit}).text());
        EXPECT_EQ(onSet(m), c.on) << "byte " << c.bit.first << " bit " << c.bit.second;
    }
}

TEST(Q13, TrueRmsFollowsAcOnlyWithTheVariantSwitch) {
    Meter m;
    decode(m, Q13("1234", {AC}).text());
    EXPECT_FALSE(m.lcd.on(Ind::LCDTRMS));
    m.variant.IFQV14 = true;
    decode(m, Q13("1234", {AC}).text());
    EXPECT_TRUE(m.lcd.on(Ind::LCDTRMST));
    EXPECT_TRUE(m.lcd.on(Ind::LCDTRMS));
    decode(m, Q13("1234", {DC}).text());
    EXPECT_FALSE(m.lcd.on(Ind::LCDTRMST));
    EXPECT_FALSE(m.lcd.on(Ind::LCDTRMS));
}

TEST(Q13, LocaleSeparatorGoesIntoValueText) {
    Meter m;
    m.LocaleDecimalSeparator = ",";
    decode(m, Q13("1234", {P2}).text());
    EXPECT_EQ(m.reading.ValueText, "12,34");
    EXPECT_EQ(m.reading.NumericValue, 1234);
}

TEST(Q13, CallsInOrderForADecodedFrame) {
    RecordingHooks hooks;
    hooks.recordSI = true; // Q13 records whatever the sampling-interval switch says
    hooks.btFill = false;
    Meter m(&hooks);
    decode(m, Q13("1234", {P1, VOLT}).text());
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"SetValueAxis -40000 40000", "ShowSeries 1",
                                                     "INDataToTable", "AddSeriesPoint 1 1234",
                                                     "ShowChartOwnPage", "AddSeriesPoint 0 1234"}));
    hooks.calls.clear();
    // Same unit and point: no range change, no ShowSeries.
    decode(m, Q13("1235", {P1, VOLT}).text());
    EXPECT_EQ(hooks.count("ShowSeries 1"), 0);
    EXPECT_EQ(hooks.count("INDataToTable"), 1);
    hooks.calls.clear();
    // The point moves: a range change.
    decode(m, Q13("1235", {P2, VOLT}).text());
    EXPECT_EQ(hooks.count("ShowSeries 1"), 1);
}

TEST(Q13, OverloadPlotsFullScaleOnBothSeries) {
    RecordingHooks hooks;
    Meter m(&hooks);
    m.applyCountProfile("2");
    decode(m, Q13(" 0L ", {MINUS}).text());
    EXPECT_EQ(m.reading.NumericValue, -20000);
    EXPECT_EQ(m.lcd.barPosition(), 20);
    EXPECT_EQ(hooks.count("AddSeriesPoint 1 -20000"), 1);
    EXPECT_EQ(hooks.count("AddSeriesPoint 0 -20000"), 1);
    EXPECT_EQ(hooks.count("Beep"), 0);
}

TEST(Q13, NoNumberFrameOnlySetsTheAxis) {
    RecordingHooks hooks;
    Meter m(&hooks);
    decode(m, Q13("1234", {VOLT}).text());
    const Extremes before = m.extremes;
    hooks.calls.clear();
    decode(m, Q13("    ", {OHM}).text());
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"SetValueAxis -40000 40000"}));
    EXPECT_EQ(m.reading.NumericValue, 1234);
    EXPECT_EQ(m.reading.UnitText, "*");
    // The extremes did not see the frame: still the volt range.
    EXPECT_EQ(m.extremes.LastUnitText, before.LastUnitText);
    EXPECT_EQ(m.lcd.maxTextU, "V");
}

TEST(Q13, HertzSwitchesTheAxisForOneFrame) {
    RecordingHooks hooks;
    Meter m(&hooks);
    decode(m, Q13("1234", {HERTZ}).text());
    EXPECT_TRUE(m.FrequencyAxisMode);
    decode(m, Q13("1234", {VOLT}).text());
    EXPECT_FALSE(m.FrequencyAxisMode);
    std::vector<std::string> axes;
    for (const auto& c : hooks.calls)
        if (c.rfind("SetValueAxis", 0) == 0) axes.push_back(c);
    EXPECT_EQ(axes,
              (std::vector<std::string>{"SetValueAxis -5000 5000", "SetValueAxis -40000 40000"}));
}

TEST(Q13, BeepsBeyondTheOverrangeLimits) {
    RecordingHooks hooks;
    Meter m(&hooks);
    // Four digits never pass the profiles' limits; lower limits show the comparison.
    m.OverrangeHigh = 1000;
    m.OverrangeLow = -1000;
    decode(m, Q13("1000").text());
    EXPECT_EQ(hooks.count("Beep"), 0);
    decode(m, Q13("1001").text());
    EXPECT_EQ(hooks.count("Beep"), 1);
    decode(m, Q13("1001", {MINUS}).text());
    EXPECT_EQ(hooks.count("Beep"), 2);
    decode(m, Q13("1000", {MINUS}).text());
    EXPECT_EQ(hooks.count("Beep"), 2);
}

TEST(Q13, ExtremesResetWithoutCompareOnARangeChange) {
    Meter m;
    decode(m, Q13("1234", {VOLT}).text());
    // First frame is a range change: captions empty, the span is FullScale.
    EXPECT_EQ(m.lcd.maxText, "");
    EXPECT_EQ(m.lcd.minText, "");
    EXPECT_EQ(m.extremes.MaxReading, -40000);
    EXPECT_EQ(m.extremes.MinReading, 40000);
    decode(m, Q13("1234", {VOLT}).text());
    EXPECT_EQ(m.lcd.maxText, "1234");
    EXPECT_EQ(m.lcd.minText, "1234");
    decode(m, Q13("2000", {VOLT}).text());
    EXPECT_EQ(m.lcd.maxText, "2000");
    EXPECT_EQ(m.lcd.minText, "1234");
    EXPECT_EQ(m.lcd.maxTextU, "V");
}

// A meter in temperature mode shows three digits and a dark fourth place: every frame of such a
// stream is a reading, recorded and plotted.
TEST(Q13, TemperatureStreamRecordsEveryFrame) {
    RecordingHooks hooks;
    Meter m(&hooks);
    std::vector<std::uint8_t> stream;
    const int frames = 200;
    for (int i = 0; i < frames; ++i) {
        const std::string shown = std::to_string(100 + i % 900) + " ";
        const std::string text = Q13(shown.c_str(), {CELSIUS, P2}).text();
        for (std::size_t k = 0; k < text.size(); ++k) {
            const int nibble = text[k] <= '9' ? text[k] - '0' : text[k] - 'A' + 10;
            stream.push_back(static_cast<std::uint8_t>(((k + 1) << 4) | nibble));
        }
    }
    HQ13RData(m, stream.data(), static_cast<int>(stream.size()));
    EXPECT_EQ(hooks.count("INDataToTable"), frames);
    EXPECT_EQ(m.reading.NumericValue, 100 + (frames - 1) % 900);
    EXPECT_EQ(m.reading.UnitText, "#");
}

TEST(Q13, BarClampsToItsMaximum) {
    Meter m;
    m.applyCountProfile("2");
    decode(m, Q13("9999").text());
    EXPECT_EQ(m.lcd.barPosition(), 20);
}

} // namespace
} // namespace dmm
