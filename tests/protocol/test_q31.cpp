// The Q31 digit-frame decoder, called directly with FrameText.
#include "Decoders.h"
#include "RecordingHooks.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

namespace dmm {
namespace {

using test::RecordingHooks;

// FrameText as the serial handler hands it over: "A", range, four digits, function code,
// three status nibbles, "D".
std::string q31(const char* range, const char* digits, const char* f, const char* s1 = "0",
                const char* s2 = "0", const char* s3 = "2") {
    return std::string("A") + range + digits + f + s1 + s2 + s3 + "D";
}

std::set<std::string> onSet(const Meter& m) {
    std::set<std::string> s;
    for (std::size_t i = kDigitPlaces; i < kIndicatorCount; ++i) {
        const Ind ind = static_cast<Ind>(i);
        if (ind != Ind::CONok && ind != Ind::CONokN && m.lcd.on(ind)) s.insert(indicatorName(ind));
    }
    return s;
}

// The four places as shown: the digit text, ' ' for an empty text, '_' for a hidden place.
std::string shown(const Meter& m) {
    std::string s;
    for (Ind p : {Ind::LcdDa, Ind::LcdDb, Ind::LcdDc, Ind::LcdDd}) {
        if (!m.lcd.on(p))
            s += '_';
        else
            s += m.lcd.digit(p).empty() ? std::string(" ") : m.lcd.digit(p);
    }
    return s;
}

FrameOutcome decode(Meter& m, const std::string& frame) {
    m.FrameText = frame;
    return LcdDisplayQ31(m);
}

// status 3 "3": AUTO on, serial output off, so that the on sets below show the function alone.
constexpr const char* S3 = "3";

struct Row {
    const char* name;
    std::string frame;
    const char* value;
    double numeric;
    const char* unit;
    std::set<std::string> on;
    const char* shown;
    int bar;
    ModelVariant variant = {};
};

class Q31Rows : public testing::TestWithParam<Row> {};

TEST_P(Q31Rows, Decodes) {
    const Row& row = GetParam();
    RecordingHooks hooks;
    Meter m(&hooks);
    m.variant = row.variant;
    EXPECT_EQ(decode(m, row.frame), FrameOutcome::Decoded);
    EXPECT_EQ(m.reading.ValueText, row.value);
    EXPECT_EQ(m.reading.NumericValue, row.numeric);
    EXPECT_EQ(m.reading.UnitText, row.unit);
    EXPECT_EQ(onSet(m), row.on);
    EXPECT_EQ(shown(m), row.shown);
    EXPECT_EQ(m.lcd.barPosition(), row.bar);
    EXPECT_EQ(hooks.count("INDataToTable"), 1);
    ASSERT_EQ(m.diag.Memo1.size(), 1u);
    EXPECT_EQ(m.diag.Memo1.last(), row.frame);
}

ModelVariant variant(bool ifqv16, bool ifqv31) {
    ModelVariant v;
    v.IFQV16 = ifqv16;
    v.IFQV31 = ifqv31;
    return v;
}

const std::set<std::string> A{"LcdAuto"};
std::set<std::string> with(std::set<std::string> s) {
    s.insert("LcdAuto");
    return s;
}

const Row kRows[] = {
    {"VoltP1",
     q31("1", "1234", "B", "0", "0", "2"),
     "1.234",
     1234,
     "V",
     {"LcdV", "LcdP1", "LcdAuto", "LCDRS", "LCD232C"},
     "1234",
     12},
    {"VoltP3BlanksTwoZeros", q31("3", "0012", "B", "0", "0", S3), "001.2", 12, "V",
     with({"LcdV", "LcdP3"}), "__12", 1},
    {"VoltNoPointBlanksThreeZeros", q31("4", "0005", "B", "0", "0", S3), "0005", 5, "V",
     with({"LcdV"}), "___5", 1},
    {"VoltNoPointBlanksTwoZeros", q31("4", "0050", "B", "0", "0", S3), "0050", 50, "V",
     with({"LcdV"}), "__50", 1},
    {"VoltNoPointBlanksOneZero", q31("9", "0500", "B", "0", "0", S3), "0500", 500, "V",
     with({"LcdV"}), "_500", 5},
    {"VoltP2BlanksOneZero", q31("2", "0012", "B", "0", "0", S3), "00.12", 12, "V",
     with({"LcdV", "LcdP2"}), "_012", 1},
    {"VoltP1KeepsLeadingZero", q31("1", "0012", "B", "0", "0", S3), "0.012", 12, "V",
     with({"LcdV", "LcdP1"}), "0012", 1},
    {"Millivolt", q31("0", "1999", "B", "0", "0", S3), "199.9", 1999, "mV",
     with({"LcdV", "LcdP3", "Lcdm"}), "1999", 19},
    {"Negative", q31("1", "1234", "B", "4", "0", S3), "-1.234", -1234, "V",
     with({"LcdV", "LcdP1", "LcdFH"}), "1234", 12},
    {"LowBattery", q31("1", "1234", "B", "2", "0", S3), "1.234", 1234, "V",
     with({"LcdV", "LcdP1", "LCDBATT"}), "1234", 12},
    {"Microampere", q31("0", "1234", "D", "0", "0", S3), "123.4", 1234, "uA",
     with({"LCDA", "LCDu", "LcdP3"}), "1234", 12},
    {"MicroampereOtherRange", q31("1", "1234", "D", "0", "0", S3), "1234", 1234, "uA",
     with({"LCDA", "LCDu"}), "1234", 12},
    {"MilliampereR0", q31("0", "1234", "9", "0", "0", S3), "12.34", 1234, "mA",
     with({"LCDA", "Lcdm", "LcdP2"}), "1234", 12},
    {"MilliampereR1", q31("1", "1234", "9", "0", "0", S3), "123.4", 1234, "mA",
     with({"LCDA", "Lcdm", "LcdP3"}), "1234", 12},
    {"Ampere", q31("A", "0123", "F", "0", "0", S3), "01.23", 123, "A", with({"LCDA", "LcdP2"}),
     "_123", 1},
    {"OhmR0", q31("0", "1234", "3", "0", "0", S3), "123.4", 1234, "*", with({"LCDohm", "LcdP3"}),
     "1234", 12},
    {"KiloOhmR2", q31("2", "1234", "3", "0", "0", S3), "12.34", 1234, "k*",
     with({"LCDohm", "LCDk", "LcdP2"}), "1234", 12},
    {"MegaOhmR4", q31("4", "1234", "3", "0", "0", S3), "1.234", 1234, "M*",
     with({"LCDohm", "LCDM1", "LcdP1"}), "1234", 12},
    {"OhmR6", q31("6", "1234", "3", "0", "0", S3), "1234", 1234, "*", with({"LCDohm"}), "1234", 12},
    {"HertzR0WithVariant", q31("0", "1234", "2", "0", "0", S3), "1.234", 1234, "kHz",
     with({"LCDHz", "LCDk", "LcdP1"}), "1234", 12, variant(false, true)},
    {"HertzR0WithIfqv16", q31("0", "1234", "2", "0", "0", S3), "1.234", 1234, "kHz",
     with({"LCDHz", "LCDk", "LcdP1"}), "1234", 12, variant(true, false)},
    {"HertzR0WithoutVariant", q31("0", "1234", "2", "0", "0", S3), "1234", 1234, "Hz",
     with({"LCDHz"}), "1234", 12, variant(false, false)},
    {"MegahertzR5", q31("5", "1234", "2", "0", "0", S3), "123.4", 1234, "MHz",
     with({"LCDHz", "LCDM1", "LcdP3"}), "1234", 12},
    {"HertzR6NoUnit", q31("6", "1234", "2", "0", "0", S3), "1234", 1234, "", with({"LCDHz"}),
     "1234", 12},
    {"RpmR0", q31("0", "1234", "2", "8", "0", S3), "12.34", 1234, "kRPM",
     with({"LcdRPM", "LCDk", "LcdP2"}), "1234", 12},
    {"RpmR5", q31("5", "1234", "2", "8", "0", S3), "1234", 1234, "MRPM", with({"LcdRPM", "LCDM1"}),
     "1234", 12},
    {"Celsius", q31("0", "0250", "4", "8", "0", S3), "0250", 250, "#", with({"LCDCS"}), "_250", 2},
    {"Fahrenheit", q31("0", "0770", "4", "0", "0", S3), "0770", 770, "?", with({"LCDFS"}), "_770",
     7},
    // Continuity: the point and digit 4 go; the point still blanks leading zeros.
    {"Continuity", q31("0", "1234", "5", "0", "0", S3), "123", 123, "&*", with({"LCDFm", "LCDohm"}),
     "123 ", 12},
    {"ContinuityIfqv16", q31("0", "0012", "5", "0", "0", S3), "001", 1, "&**",
     with({"LCDFm", "LCDohm"}), "__1 ", 1, variant(true, true)},
    {"Diode", q31("7", "0512", "1", "0", "0", S3), "0.51", 51, ")V",
     with({"LCDDI", "LcdV", "LcdP1"}), "051 ", 5},
    {"NanofaradR0", q31("0", "1234", "6", "0", "0", S3), "1.234", 1234, "nF",
     with({"LCDF", "LCDn", "LcdP1"}), "1234", 12},
    {"MicrofaradR5", q31("5", "1234", "6", "0", "0", S3), "123.4", 1234, "uF",
     with({"LCDF", "LCDu", "LcdP3"}), "1234", 12},
    {"MillifaradR7", q31("7", "1234", "6", "0", "0", S3), "12.34", 1234, "mF",
     with({"LCDF", "Lcdm", "LcdP2"}), "1234", 12},
    {"FaradR8NoUnit", q31("8", "1234", "6", "0", "0", S3), "1234", 1234, "", with({"LCDF"}), "1234",
     12},
    {"UnknownFunction", q31("1", "1234", "7", "0", "0", S3), "1234", 1234, "", A, "1234", 12},
    {"UnknownFunctionIgnoresLetterRange", q31("C", "1234", "E", "0", "0", S3), "1234", 1234, "", A,
     "1234", 12},
    // Frequency override: status 1 "0", status 2 "1".
    {"OverrideR2", q31("2", "1234", "B", "0", "1", S3), "123.4", 1234, "kHz",
     with({"LCDHz", "LCDk", "LcdP3"}), "1234", 12},
    {"OverrideR3", q31("3", "1234", "F", "0", "1", S3), "1.234", 1234, "MHz",
     with({"LCDHz", "LCDM1", "LcdP1"}), "1234", 12},
    {"OverrideR7KeepsTableUnit", q31("7", "1234", "B", "0", "1", S3), "1234", 1234, "V",
     with({"LCDHz"}), "1234", 12},
    {"OverrideOnDiodeAppendsV", q31("0", "1234", "1", "0", "1", S3), "1.23", 123, "kHzV",
     with({"LCDHz", "LCDk", "LcdP1", "LCDDI"}), "123 ", 12},
    {"OverrideOnContinuityAppendsOhm", q31("1", "1234", "5", "0", "1", S3), "12.3", 123, "kHz*",
     with({"LCDHz", "LCDk", "LcdP2", "LCDFm", "LCDohm"}), "123 ", 12},
    {"OverrideOnOhmLeavesOhmOn", q31("0", "1234", "3", "0", "1", S3), "1.234", 1234, "kHz",
     with({"LCDHz", "LCDk", "LcdP1", "LCDohm"}), "1234", 12},
    // Overload: D2 "0", D3 the L; ValueText "0L" with the points; the outer places hidden.
    {"Overload", q31("0", "1234", "B", "1", "0", S3), "0L.", 40001, "mV",
     with({"LcdV", "LcdP3", "Lcdm"}), "_0@_", 40},
    {"OverloadNegative", q31("0", "1234", "B", "5", "0", S3), "-0L.", -40001, "mV",
     with({"LcdV", "LcdP3", "Lcdm", "LcdFH"}), "_0@_", 40},
    // With a first digit "0" the blanking rules hide digit 2 as well.
    {"OverloadFirstDigitZero", q31("0", "0234", "B", "1", "0", S3), "0L.", 40001, "mV",
     with({"LcdV", "LcdP3", "Lcdm"}), "__@_", 40},
    {"OverloadP1PointBeforeTheZero", q31("1", "1234", "B", "5", "0", S3), "-.0L", -40001, "V",
     with({"LcdV", "LcdP1", "LcdFH"}), "_0@_", 40},
    {"OverloadLettersInOuterDigits", q31("1", "A23F", "B", "1", "0", S3), ".0L", 40001, "V",
     with({"LcdV", "LcdP1"}), "_0@_", 40},
    {"OverloadDiodeBar25", q31("0", "1234", "1", "1", "0", S3), ".0L", 40001, ")V",
     with({"LCDDI", "LcdV", "LcdP1"}), "_0@_", 25},
};

INSTANTIATE_TEST_SUITE_P(Frames, Q31Rows, testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Q31, CouplingAndSerialAnnunciators) {
    const struct {
        const char* s3;
        const char* dcac;
        const char* range;
        std::set<std::string> on;
    } cases[] = {
        {"0", "", "MANU", {"LCDRS", "LCD232C"}},
        {"1", "", "MANU", {}},
        {"2", "", "AUTO", {"LcdAuto", "LCDRS", "LCD232C"}},
        {"6", "AC", "AUTO", {"LcdAC", "LcdAuto", "LCDRS", "LCD232C"}},
        {"9", "DC", "MANU", {"LcdDc1"}},
        {"E", "DC", "AUTO", {"LcdAC", "LcdDc1", "LcdAuto", "LCDRS", "LCD232C"}},
    };
    Meter m;
    for (const auto& c : cases) {
        decode(m, q31("4", "1234", "7", "0", "0", c.s3));
        EXPECT_EQ(m.reading.DcAc, c.dcac) << c.s3;
        EXPECT_EQ(m.reading.RangeMode, c.range) << c.s3;
        EXPECT_EQ(onSet(m), c.on) << c.s3;
    }
}

// Rows "1" and "5" switch off their own indicator only; the V that row "B" set stays.
TEST(Q31, EachRowSwitchesOffOnlyItsOwnIndicator) {
    Meter m;
    decode(m, q31("1", "1234", "1", "0", "0", S3)); // diode: LCDDI and LcdV on
    decode(m, q31("1", "1234", "B", "0", "0", S3)); // volt
    EXPECT_EQ(onSet(m), with({"LcdV", "LcdP1"}));
    decode(m, q31("1", "1234", "5", "0", "0", S3)); // continuity
    decode(m, q31("1", "1234", "7", "0", "0", S3)); // no row: all function indicators off
    EXPECT_EQ(onSet(m), A);
}

TEST(Q31, BarAtDiodeOverloadShowsFullOnTheShippedProfile) {
    Meter m;
    m.applyCountProfile("2");
    decode(m, q31("0", "1234", "1", "1", "0", S3));
    EXPECT_EQ(m.reading.NumericValue, 20001);
    EXPECT_EQ(m.lcd.barPosition(), 20);
    decode(m, q31("0", "1234", "B", "1", "0", S3));
    EXPECT_EQ(m.lcd.barPosition(), 20);
}

TEST(Q31, LocaleSeparator) {
    Meter m;
    m.LocaleDecimalSeparator = ",";
    decode(m, q31("2", "1234", "B"));
    EXPECT_EQ(m.reading.ValueText, "12,34");
}

TEST(Q31, CallsAndExtremes) {
    RecordingHooks hooks;
    hooks.recordSI = true; // Q31 records whatever the sampling-interval switch says
    hooks.btFill = false;
    Meter m(&hooks);
    decode(m, q31("1", "1234", "B"));
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"ShowSeries 1", "INDataToTable"}));
    // Reset span FullScale + 1, no compare after the reset.
    EXPECT_EQ(m.extremes.MaxReading, -40001);
    EXPECT_EQ(m.extremes.MinReading, 40001);
    EXPECT_EQ(m.lcd.maxText, "");
    decode(m, q31("1", "1500", "B"));
    decode(m, q31("1", "1100", "B"));
    EXPECT_EQ(m.lcd.maxText, "1.500");
    EXPECT_EQ(m.lcd.minText, "1.100");
    EXPECT_EQ(m.lcd.maxTextU, "V");
    hooks.calls.clear();
    decode(m, q31("2", "1100", "B")); // the point moves: range change
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"ShowSeries 1", "INDataToTable"}));
    EXPECT_EQ(m.lcd.maxText, "1.500");
}

TEST(Q31, BeepsOncePerFrameBeyondTheLimits) {
    RecordingHooks hooks;
    Meter m(&hooks);
    // Four digits stay inside the profiles' limits; lower limits show the comparison.
    m.OverrangeHigh = 1000;
    m.OverrangeLow = -1000;
    decode(m, q31("1", "1000", "B"));
    EXPECT_EQ(hooks.count("Beep"), 0);
    decode(m, q31("1", "1001", "B"));
    EXPECT_EQ(hooks.count("Beep"), 1);
    decode(m, q31("1", "1001", "B", "4"));
    EXPECT_EQ(hooks.count("Beep"), 2);
    decode(m, q31("1", "1234", "B", "1")); // overload: FullScale + 1
    EXPECT_EQ(hooks.count("Beep"), 3);
}

TEST(Q31, MemoKeepsEveryFrameWithinItsBound) {
    Meter m;
    for (int i = 0; i < 1005; ++i) decode(m, q31("1", i % 2 ? "1234" : "4321", "B"));
    EXPECT_EQ(m.diag.Memo1.size(), kDiagnosticLines);
    EXPECT_EQ(m.diag.Memo1.last(), q31("1", "4321", "B")); // frame 1004
    EXPECT_EQ(m.diag.Memo1.at(0), q31("1", "1234", "B"));  // frame 5, the oldest kept
}

// Everything a frame could change, but the link-alive mark.
struct Snapshot {
    std::string value, dcac, unit, range;
    double numeric;
    std::array<bool, kIndicatorCount> on;
    std::array<std::string, kDigitPlaces> digits;
    int bar;
    float maxReading, minReading;
    std::string maxText, minText, lastUnit, maxLabel, minLabel;
    std::size_t memo;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const Meter& m) {
    Snapshot s{m.reading.ValueText,
               m.reading.DcAc,
               m.reading.UnitText,
               m.reading.RangeMode,
               m.reading.NumericValue,
               {},
               {},
               m.lcd.barPosition(),
               m.extremes.MaxReading,
               m.extremes.MinReading,
               m.extremes.MaxReadingText,
               m.extremes.MinReadingText,
               m.extremes.LastUnitText,
               m.lcd.maxText,
               m.lcd.minText,
               m.diag.Memo1.size()};
    for (std::size_t i = 0; i < kIndicatorCount; ++i) {
        const Ind ind = static_cast<Ind>(i);
        s.on[i] = ind != Ind::CONok && ind != Ind::CONokN && m.lcd.on(ind);
    }
    for (std::size_t i = 0; i < kDigitPlaces; ++i) s.digits[i] = m.lcd.digit(static_cast<Ind>(i));
    return s;
}

TEST(Q31, UndecodableFramesChangeNothingButTheLinkMark) {
    const std::string frames[] = {
        q31("A", "1234", "B"),           // range letter, row B reads it
        q31("F", "1234", "D"),           // row D
        q31("B", "1234", "9"),           // row 9
        q31("C", "1234", "3"),           // row 3
        q31("D", "1234", "2"),           // row 2
        q31("E", "1234", "2", "8"),      // row 2, RPM
        q31("A", "1234", "6"),           // row 6
        q31("A", "1234", "F", "0", "1"), // the override reads r whatever f is
        q31("1", "A234", "B"),           // digits read as a number
        q31("1", "12C4", "B"),
        q31("1", "123F", "B"),
        q31("1", "123F", "3"),
        "A12",                 // too short to hold a frame
        q31("1", "12x4", "B"), // not hex at all
    };
    for (const std::string& frame : frames) {
        RecordingHooks hooks;
        Meter m(&hooks);
        decode(m, q31("1", "1234", "B", "4", "0", "6")); // something to keep
        hooks.calls.clear();
        m.lcd.set(Ind::CONok, false);
        m.lcd.set(Ind::CONokN, true);
        m.FrameWatchdog = 3;
        const Snapshot before = snapshot(m);
        EXPECT_EQ(decode(m, frame), FrameOutcome::Undecodable) << frame;
        EXPECT_TRUE(snapshot(m) == before) << frame;
        EXPECT_TRUE(hooks.calls.empty()) << frame;
        EXPECT_TRUE(m.lcd.on(Ind::CONok)) << frame;
        EXPECT_FALSE(m.lcd.on(Ind::CONokN)) << frame;
        EXPECT_EQ(m.FrameWatchdog, 0) << frame;
    }
}

TEST(Q31, LettersWhereNothingReadsThemDecode) {
    const std::string frames[] = {
        q31("A", "1234", "F"),                             // ampere: no range lookup
        q31("B", "1234", "4"),                             // temperature
        q31("C", "1234", "5"),                             // continuity: digit 4 is dropped too
        q31("D", "123A", "5"),      q31("E", "123B", "1"), // diode drops digit 4
        q31("F", "B23C", "F", "1"),                        // overload: no digits are read
    };
    for (const std::string& frame : frames) {
        Meter m;
        EXPECT_EQ(decode(m, frame), FrameOutcome::Decoded) << frame;
    }
}

} // namespace
} // namespace dmm
