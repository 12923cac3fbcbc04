// The Q32 decoder on its own: each row is a frame (positions 1 to 9; "DA" is appended) and the
// reading, the LCD elements and the bar it must give on a freshly started shipped meter.
#include "Decoders.h"
#include "FrameAssembly.h"
#include "Meter.h"
#include "RecordingHooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace dmm {
namespace {

using test::RecordingHooks;

// The shipped variant at start-up: count profile "2", leftmost digit "1".
void startShipped(Meter& m) {
    m.applyCountProfile("2");
    m.lcd.setDigit(Ind::LcdD0, "1");
}

// The names of the elements that are on, digit places and link images left out, sorted.
std::string onNames(const IndicatorSet& lcd) {
    std::vector<std::string> names;
    for (std::size_t i = kDigitPlaces; i < kIndicatorCount; ++i) {
        const Ind ind = static_cast<Ind>(i);
        if (ind != Ind::CONok && ind != Ind::CONokN && lcd.on(ind))
            names.emplace_back(indicatorName(ind));
    }
    std::sort(names.begin(), names.end());
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

std::string digits(const IndicatorSet& lcd) {
    std::string out;
    for (int i = 0; i < 5; ++i) out += "[" + lcd.digit(digitPlace(i)) + "]";
    return out;
}

FrameOutcome decode(Meter& m, const std::string& positions1to9) {
    m.FrameText = positions1to9 + "DA";
    return LcdDisplayQ32(m);
}

struct Row {
    const char* frame;
    const char* value;
    double numeric;
    const char* unit;
    const char* dcac;
    const char* range;
    int fullScale;
    int bar;
    const char* on;     // elements on, sorted, digit places and link images left out
    const char* digits; // LcdD0, LcdDa .. LcdDd
};

const Row kRows[] = {
    // Digits, the status digit and the sign.
    {"123453101", "123.45", 12345, "V", "DC", "AUTO", 200, 12, "LcdAuto LcdP2 LcdV",
     "[1][2][3][4][5]"},
    {"123453105", "-123.45", -12345, "V", "DC", "AUTO", 200, 12, "LcdAuto LcdFH LcdP2 LcdV",
     "[1][2][3][4][5]"},
    {"123453103", "123.45", 12345, "V", "DC", "", 200, 12, "LcdP2 LcdV", "[1][2][3][4][5]"},
    {"123453107", "-123.45", -12345, "V", "DC", "", 200, 12, "LcdFH LcdP2 LcdV", "[1][2][3][4][5]"},
    {"123453109", "123.45", 12345, "V", "DC", "AUTO", 200, 12, "LcdAuto LcdP2 LcdV",
     "[1][2][3][4][5]"},
    {"123453100", "123.45", 12345, "V", "DC", "", 200, 12, "LcdP2 LcdV", "[1][2][3][4][5]"},
    {"1234A3101", "123.4", 1234, "V", "DC", "AUTO", 200, 12, "LcdAuto LcdP2 LcdV",
     "[1][2][3][4][]"},
    {"987653101", "987.65", 98765, "V", "DC", "AUTO", 200, 20, "LcdAuto LcdP2 LcdV",
     "[9][8][7][6][5]"},
    {"012341101", "0.1234", 1234, "V", "DC", "AUTO", 2, 1, "LcdAuto LcdP0 LcdV", "[0][1][2][3][4]"},
    // Digit 4 "B": all zeros, whatever the other digit positions hold.
    {"123B53101", "000.00", 0, "V", "DC", "AUTO", 200, 1, "LcdAuto LcdP2 LcdV", "[0][0][0][0][0]"},
    {"F2CBE3101", "000.00", 0, "V", "DC", "AUTO", 200, 1, "LcdAuto LcdP2 LcdV", "[0][0][0][0][0]"},
    // Overload "0@": the separator before, between or after.
    {"A00003301", "0.L", 200, "mV", "DC", "AUTO", 200, 20, "LcdAuto LcdP2 LcdV Lcdm",
     "[][][0][@][]"},
    {"AFFFF3305", "-0.L", -200, "mV", "DC", "AUTO", 200, 20, "LcdAuto LcdFH LcdP2 LcdV Lcdm",
     "[][][0][@][]"},
    {"A00001101", ".0L", 2, "V", "DC", "AUTO", 2, 20, "LcdAuto LcdP0 LcdV", "[][][0][@][]"},
    {"A00004101", "0L.", 1000, "V", "DC", "AUTO", 1000, 20, "LcdAuto LcdP3 LcdV", "[][][0][@][]"},
    // Overload "@0": the fixed text, the point after digit 4, a second point for positions 0, 1.
    {"AC0003301", "L0.", 200, "mV", "DC", "AUTO", 200, 1, "LcdAuto LcdP3 LcdV Lcdm",
     "[][][@][0][]"},
    {"AC0003305", "L0.", -200, "mV", "DC", "AUTO", 200, 1, "LcdAuto LcdFH LcdP3 LcdV Lcdm",
     "[][][@][0][]"},
    {"AC0001101", "L0.", 2, "V", "DC", "AUTO", 2, 1, "LcdAuto LcdP0 LcdP3 LcdV", "[][][@][0][]"},
    {"AC0002101", "L0.", 20, "V", "DC", "AUTO", 20, 1, "LcdAuto LcdP1 LcdP3 LcdV", "[][][@][0][]"},
    // Coupling.
    {"123453111", "123.45", 12345, "V", "AC", "AUTO", 200, 12,
     "LCDTRMS LCDTRMST LcdAC LcdAuto LcdP2 LcdV", "[1][2][3][4][5]"},
    {"123453121", "123.45", 12345, "V", "DC", "AUTO", 200, 12, "LcdAuto LcdDc1 LcdP2 LcdV",
     "[1][2][3][4][5]"},
    {"123453131", "123.45", 12345, "V", "AC+DC", "AUTO", 200, 12,
     "LCDJa LCDTRMS LCDTRMST LcdAC LcdAuto LcdDc1 LcdP2 LcdV", "[1][2][3][4][5]"},
    {"123453151", "123.45", 12345, "V", "", "AUTO", 200, 12, "LcdAuto LcdP2 LcdV",
     "[1][2][3][4][5]"},
    {"123454A91", "123.45", 12345, "*", "", "AUTO", 1000, 12, "LCDFm LCDohm LcdAuto LcdP2",
     "[1][2][3][4][5]"},
    // The function table.
    {"123453201", "123.45", 12345, "V", "", "AUTO", 200, 12, "LcdAuto LcdP2 LcdV",
     "[1][2][3][4][5]"},
    {"123452301", "123.45", 12345, "mV", "DC", "AUTO", 200, 12, "LcdAuto LcdP2 LcdV Lcdm",
     "[1][2][3][4][5]"},
    {"123451401", "123.45", 12345, "*", "OHM", "AUTO", 200, 12, "LCDohm LcdAuto LcdP2",
     "[1][2][3][4][5]"},
    {"123452401", "1.2345", 12345, "k*", "OHM", "AUTO", 2, 12, "LCDk LCDohm LcdAuto LcdP0",
     "[1][2][3][4][5]"},
    {"123456401", "12.345", 12345, "M*", "OHM", "AUTO", 20, 12, "LCDM1 LCDohm LcdAuto LcdP1",
     "[1][2][3][4][5]"},
    {"123451501", "12.345", 12345, "nF", "CAP", "AUTO", 20, 12, "LCDF LCDn LcdAuto LcdP1",
     "[1][2][3][4][5]"},
    {"123453501", "1.2345", 12345, "uF", "CAP", "AUTO", 2, 12, "LCDF LCDu LcdAuto LcdP0",
     "[1][2][3][4][5]"},
    {"123457501", "12.345", 12345, "mF", "CAP", "AUTO", 20, 12, "LCDF LcdAuto LcdP1 Lcdm",
     "[1][2][3][4][5]"},
    {"123450601", "1234.5", 12345, "#", "Temperature", "AUTO", 1000, 12, "LCDCS LcdAuto LcdP3",
     "[1][2][3][4][5]"},
    {"123450701", "123.45", 12345, "uA", "DC", "AUTO", 200, 12, "LCDA LCDu LcdAuto LcdP2",
     "[1][2][3][4][5]"},
    {"123451701", "1234.5", 12345, "uA", "DC", "AUTO", 2000, 12, "LCDA LCDu LcdAuto LcdP3",
     "[1][2][3][4][5]"},
    {"123450801", "12.345", 12345, "mA", "DC", "AUTO", 20, 12, "LCDA LcdAuto LcdP1 Lcdm",
     "[1][2][3][4][5]"},
    {"123457901", "12.345", 12345, "A", "DC", "AUTO", 10, 12, "LCDA LcdAuto LcdP1",
     "[1][2][3][4][5]"},
    {"012340B01", "0.1234", 1234, "V", "Diode", "AUTO", 20, 1, "LCDDI LcdAuto LcdP0 LcdV",
     "[0][1][2][3][4]"},
    {"123450C01", "12.345", 12345, "Hz", "Frequency", "AUTO", 20, 12, "LCDHz LcdAuto LcdP1",
     "[1][2][3][4][5]"},
    {"123453C01", "12.345", 12345, "kHz", "Frequency", "AUTO", 20, 12, "LCDHz LCDk LcdAuto LcdP1",
     "[1][2][3][4][5]"},
    {"123457C01", "123.45", 12345, "MHz", "Frequency", "AUTO", 200, 12, "LCDHz LCDM1 LcdAuto LcdP2",
     "[1][2][3][4][5]"},
    {"123450D01", "1234.5", 12345, "?", "Temperature", "AUTO", 1832, 12, "LCDFS LcdAuto LcdP3",
     "[1][2][3][4][5]"},
    {"123450E01", "1234.5", 12345, "W", "", "AUTO", 200, 12, "LcdAuto LcdP3 lcdW",
     "[1][2][3][4][5]"},
    {"123450F01", "123.45", 12345, "mA%", "", "AUTO", 200, 12, "LCDBF LcdAuto LcdP2",
     "[1][2][3][4][5]"},
    // Duty cycle: frequency with the minus sign; DecimalPos 2 whatever the range said.
    {"012346C05", "012.34", 1234, "%", "Frequency", "AUTO", 20, 1, "LCDBF LcdAuto LcdP2",
     "[0][1][2][3][4]"},
    {"AC0006C05", "L0.", 20, "%", "Frequency", "AUTO", 20, 1, "LCDBF LcdAuto LcdP3",
     "[][][@][0][]"},
    // DecimalPos not set: no point; FullScale stays as it was, except f 0 which sets 200.
    {"123450001", "12345", 12345, "", "DC", "AUTO", 200, 12, "LcdAuto", "[1][2][3][4][5]"},
    {"123455101", "12345", 12345, "V", "DC", "AUTO", 20000, 12, "LcdAuto LcdV", "[1][2][3][4][5]"},
    {"123450401", "12345", 12345, "*", "OHM", "AUTO", 20000, 12, "LCDohm LcdAuto",
     "[1][2][3][4][5]"},
    {"123450501", "12345", 12345, "F", "CAP", "AUTO", 20000, 12, "LCDF LcdAuto", "[1][2][3][4][5]"},
    {"123452801", "12345", 12345, "A", "DC", "AUTO", 20000, 12, "LCDA LcdAuto", "[1][2][3][4][5]"},
    {"123458C01", "12345", 12345, "Hz", "Frequency", "AUTO", 20000, 12, "LCDHz LcdAuto",
     "[1][2][3][4][5]"},
    {"A00000001", "0L", 200, "", "DC", "AUTO", 200, 20, "LcdAuto", "[][][0][@][]"},
};

TEST(Q32Decoder, FrameTable) {
    for (const Row& row : kRows) {
        Meter m;
        startShipped(m);
        ASSERT_EQ(decode(m, row.frame), FrameOutcome::Decoded) << row.frame;
        const CurrentReading& r = m.reading;
        EXPECT_EQ(r.ValueText, row.value) << row.frame;
        EXPECT_EQ(r.NumericValue, row.numeric) << row.frame;
        EXPECT_EQ(r.UnitText, row.unit) << row.frame;
        EXPECT_EQ(r.DcAc, row.dcac) << row.frame;
        EXPECT_EQ(r.RangeMode, row.range) << row.frame;
        EXPECT_EQ(r.FullScale, row.fullScale) << row.frame;
        EXPECT_EQ(m.lcd.barPosition(), row.bar) << row.frame;
        EXPECT_EQ(onNames(m.lcd), row.on) << row.frame;
        EXPECT_EQ(digits(m.lcd), row.digits) << row.frame;
        EXPECT_EQ(m.diag.USBtxt, m.FrameText) << row.frame;
        EXPECT_TRUE(m.lcd.on(Ind::CONok) && !m.lcd.on(Ind::CONokN)) << row.frame;
    }
}

TEST(Q32Decoder, TheLocaleSeparatorGoesIntoValueText) {
    Meter m;
    startShipped(m);
    m.LocaleDecimalSeparator = ",";
    decode(m, "123453101");
    EXPECT_EQ(m.reading.ValueText, "123,45");
    decode(m, "A00003301");
    EXPECT_EQ(m.reading.ValueText, "0,L");
    decode(m, "AC0003301");
    EXPECT_EQ(m.reading.ValueText, "L0.") << "the fixed overload text keeps its point";
}

TEST(Q32Decoder, FrameEndsLeaveNoStateBehindInTheDecoder) {
    // Switching from one function to another must switch off everything of the first.
    Meter m;
    startShipped(m);
    decode(m, "123453131"); // AC+DC volts
    decode(m, "123455C05"); // duty cycle
    EXPECT_EQ(onNames(m.lcd), "LCDBF LcdAuto LcdP2");
    decode(m, "123454A00"); // continuity, manual
    EXPECT_EQ(onNames(m.lcd), "LCDFm LCDohm LcdP2");
    EXPECT_EQ(m.reading.RangeMode, "");
}

// A frame with a letter where a decimal digit is read changes nothing but the link mark.
TEST(Q32Decoder, UndecodableFramesChangeOnlyTheLinkMark) {
    const char* frames[] = {
        "12345B101", // range digit
        "1234531C1", // coupling digit
        "12345310A", // status digit
        "12345310F", // status digit
        "1C3453101", // digit 2
        "C23453101", // digit 1 not "A"
        "123C53101", // digit 4 not "B"
        "1234C3101", // digit 5 not "A"
        "B2345A101", // digit 1 and range
    };
    for (const char* frame : frames) {
        RecordingHooks hooks;
        Meter m(&hooks);
        startShipped(m);
        decode(m, "987652101");
        m.lcd.set(Ind::CONok, false);
        m.lcd.set(Ind::CONokN, true);
        m.FrameWatchdog = 7;
        hooks.calls.clear();
        const Meter before = m;

        EXPECT_EQ(decode(m, frame), FrameOutcome::Undecodable) << frame;
        EXPECT_TRUE(hooks.calls.empty()) << frame;
        EXPECT_TRUE(m.lcd.on(Ind::CONok)) << frame;
        EXPECT_FALSE(m.lcd.on(Ind::CONokN)) << frame;
        EXPECT_EQ(m.FrameWatchdog, 0) << frame;
        m.lcd.set(Ind::CONok, false);
        m.lcd.set(Ind::CONokN, true);
        for (std::size_t i = 0; i < kIndicatorCount; ++i)
            EXPECT_EQ(m.lcd.on(static_cast<Ind>(i)), before.lcd.on(static_cast<Ind>(i)))
                << frame << " " << indicatorName(static_cast<Ind>(i));
        EXPECT_EQ(digits(m.lcd), digits(before.lcd)) << frame;
        EXPECT_EQ(m.lcd.barPosition(), before.lcd.barPosition()) << frame;
        EXPECT_EQ(m.lcd.maxText, before.lcd.maxText) << frame;
        EXPECT_EQ(m.reading.ValueText, before.reading.ValueText) << frame;
        EXPECT_EQ(m.reading.NumericValue, before.reading.NumericValue) << frame;
        EXPECT_EQ(m.reading.UnitText, before.reading.UnitText) << frame;
        EXPECT_EQ(m.reading.DcAc, before.reading.DcAc) << frame;
        EXPECT_EQ(m.reading.RangeMode, before.reading.RangeMode) << frame;
        EXPECT_EQ(m.reading.FullScale, before.reading.FullScale) << frame;
        EXPECT_EQ(m.extremes.MaxReadingText, before.extremes.MaxReadingText) << frame;
        EXPECT_EQ(m.extremes.LastUnitText, before.extremes.LastUnitText) << frame;
        EXPECT_EQ(m.diag.USBtxt, before.diag.USBtxt) << frame;
    }
}

TEST(Q32Decoder, LettersTheTablesHandleAreDecodable) {
    for (const char* frame : {"AFFFF3301", "ACFFF3301", "FFFBF3101", "1234A3101", "123453F01"}) {
        Meter m;
        startShipped(m);
        EXPECT_EQ(decode(m, frame), FrameOutcome::Decoded) << frame;
    }
}

TEST(Q32Decoder, HookCallsInStepOrder) {
    RecordingHooks hooks;
    Meter m(&hooks);
    startShipped(m);
    decode(m, "123453101");
    EXPECT_EQ(hooks.calls,
              (std::vector<std::string>{"SetValueAxis -20000 20000", "ShowSeries 0", "JudgeReading",
                                        "RecallStep", "INDataToTable"}));
    hooks.calls.clear();
    decode(m, "123463101");
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"SetValueAxis -20000 20000", "JudgeReading",
                                                     "RecallStep", "INDataToTable"}))
        << "same unit and point: no range change";
}

TEST(Q32Decoder, SamplingIntervalModeLeavesRecordingToTheTimer) {
    RecordingHooks hooks;
    hooks.recordSI = true;
    hooks.btFill = false;
    Meter m(&hooks);
    startShipped(m);
    decode(m, "123453101");
    decode(m, "123453101");
    EXPECT_EQ(hooks.count("INDataToTable"), 0);
    EXPECT_EQ(hooks.count("RecallStep"), 2) << "the recall clock still steps on every frame";
    EXPECT_EQ(hooks.count("ShowSeries 1"), 1);
}

// The chart plots counts, so its axis spans the full scale in counts.
TEST(Q32Decoder, ValueAxisSpansTheFullScaleInCounts) {
    struct AxisRow {
        const char* frame;
        const char* call; // nullptr: the axis is not touched
    };
    const AxisRow rows[] = {
        {"123453101", "SetValueAxis -20000 20000"}, // 200.00 V
        {"123454101", "SetValueAxis -10000 10000"}, // 1000.0 V
        {"123451101", "SetValueAxis -20000 20000"}, // 2.0000 V
        {"123451701", "SetValueAxis -20000 20000"}, // 2000.0 uA
        {"123450D01", "SetValueAxis -18320 18320"}, // 1832.0 F
        {"123450A01", "SetValueAxis -100000 100000"},
        {"123456C05", "SetValueAxis -20000 20000"}, // duty cycle: the range's scale
        {"123450001", nullptr},
        {"123455101", nullptr},
        {"123458C01", nullptr},
    };
    for (const AxisRow& row : rows) {
        RecordingHooks hooks;
        Meter m(&hooks);
        startShipped(m);
        decode(m, row.frame);
        std::vector<std::string> axis;
        for (const auto& c : hooks.calls)
            if (c.rfind("SetValueAxis", 0) == 0) axis.push_back(c);
        if (row.call) {
            EXPECT_EQ(axis, std::vector<std::string>{row.call}) << row.frame;
        } else {
            EXPECT_TRUE(axis.empty()) << row.frame;
        }
    }
}

TEST(Q32Decoder, ExtremesRestartOnARangeChangeAndCompareAtOnce) {
    RecordingHooks hooks;
    Meter m(&hooks);
    startShipped(m);
    decode(m, "000011101"); // 0.0001 V: the first frame is a range change
    EXPECT_EQ(hooks.count("ShowSeries 0"), 1);
    EXPECT_EQ(m.lcd.maxText, "0.0001");
    EXPECT_EQ(m.lcd.minText, "0.0001");
    EXPECT_EQ(m.lcd.maxTextU, "V");
    decode(m, "000051101");
    EXPECT_EQ(m.lcd.maxText, "0.0005");
    EXPECT_EQ(m.lcd.minText, "0.0001");
    decode(m, "000052101"); // 2 V to 20 V range: the point alone moves
    EXPECT_EQ(hooks.count("ShowSeries 0"), 2);
    EXPECT_EQ(m.lcd.maxText, "00.005");
    EXPECT_EQ(m.lcd.minText, "00.005");
    EXPECT_EQ(m.extremes.MaxReading, 5.0f);
    EXPECT_EQ(m.extremes.LastDecimalPos, 1);
}

TEST(Q32Decoder, FirstReadingBelowMinusFullScaleSetsOnlyTheMinimum) {
    Meter m;
    startShipped(m);
    decode(m, "123453105");
    EXPECT_EQ(m.lcd.maxText, "");
    EXPECT_EQ(m.lcd.minText, "-123.45");
    EXPECT_EQ(m.extremes.MaxReading, -200.0f);
}

TEST(Q32Decoder, UnsetDecimalPositionStartsTheExtremesFromZero) {
    Meter m;
    startShipped(m);
    decode(m, "123450001");
    EXPECT_EQ(m.extremes.LastDecimalPos, 0);
    EXPECT_EQ(m.extremes.LastUnitText, "");
    decode(m, "123451101"); // 2 V range, DecimalPos 0, unit "V": a range change by unit only
    EXPECT_EQ(m.extremes.LastDecimalPos, 0);
    EXPECT_EQ(m.extremes.LastUnitText, "V");
}

TEST(Q32Decoder, SerialAndHidRoadsGiveTheSameReading) {
    Meter serial, hid;
    startShipped(serial);
    startShipped(hid);
    const std::uint8_t wire[] = {0x0A, 0x30, 0x31, 0x39, 0x38, 0x37,
                                 0x33, 0x31, 0x32, 0x35, 0x0D, 0x0A};
    HQ32RData(serial, wire, sizeof wire);
    const std::uint8_t r1[] = {0x06, 0x30, 0x31, 0x39, 0x38, 0x37, 0x33};
    const std::uint8_t r2[] = {0x05, 0x31, 0x32, 0x35, 0x0D, 0x0A};
    const std::uint8_t idle[] = {0x00};
    Q32ReportHandler(hid, 0, r1, sizeof r1);
    Q32ReportHandler(hid, 0, r2, sizeof r2);
    Q32ReportHandler(hid, 0, idle, sizeof idle);
    EXPECT_EQ(serial.counts.decoded, 1u);
    EXPECT_EQ(hid.counts.decoded, 1u);
    EXPECT_EQ(serial.FrameText, "019873125DA");
    EXPECT_EQ(hid.FrameText, serial.FrameText);
    EXPECT_EQ(hid.reading.ValueText, "-019.87");
    EXPECT_EQ(serial.reading.ValueText, hid.reading.ValueText);
    EXPECT_EQ(serial.reading.DcAc, "DC");
    EXPECT_EQ(onNames(serial.lcd), onNames(hid.lcd));
}

} // namespace
} // namespace dmm
