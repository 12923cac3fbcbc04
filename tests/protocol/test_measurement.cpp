#include "ShownValue.h"

#include <gtest/gtest.h>

namespace dmm {
namespace {

struct Case {
    const char* display;
    const char* unitCode;
    const char* shown;    // display with '.' (UTF-8)
    const char* unit;     // UTF-8
    const char* value;    // "" for none
    const char* baseUnit; // UTF-8, "" for none
};

TEST(ReadMeasurement, EveryUnitAndTheDecimalPointMovedExactly) {
    const Case cases[] = {
        // every known code, the point moved by its prefix
        {"12.345", "mV", "12.345", "mV", "0.012345", "V"},
        {"1.2345", "V", "1.2345", "V", "1.2345", "V"},
        {"-123.45", "V", "-123.45", "V", "-123.45", "V"},
        {"1.9999", "A", "1.9999", "A", "1.9999", "A"},
        {"19.99", "mA", "19.99", "mA", "0.01999", "A"},
        {"199.9", "uA", "199.9", "\u00B5A", "0.0001999", "A"},
        {"100.01", "*", "100.01", "\u03A9", "100.01", "\u03A9"},
        {"12.316", "k*", "12.316", "k\u03A9", "12316", "\u03A9"},
        {"1.2345", "M*", "1.2345", "M\u03A9", "1234500", "\u03A9"},
        {"1.5", "F", "1.5", "F", "1.5", "F"},
        {"10.01", "nF", "10.01", "nF", "0.00000001001", "F"},
        {"2.200", "uF", "2.200", "\u00B5F", "0.0000022", "F"},
        {"1.00", "mF", "1.00", "mF", "0.001", "F"},
        {"50.00", "Hz", "50.00", "Hz", "50", "Hz"},
        {"1.000", "kHz", "1.000", "kHz", "1000", "Hz"},
        {"12.34", "MHz", "12.34", "MHz", "12340000", "Hz"},
        {"50.00", "%", "50.00", "%", "50", "%"},
        {"23.5", "#", "23.5", "\u00B0C", "23.5", "\u00B0C"},
        {"-40.0", "?", "-40.0", "\u00B0F", "-40", "\u00B0F"},
        {"0.123", "&", "0.123", "\u03A9", "0.123", "\u03A9"},
        {"12.3", "&*", "12.3", "\u03A9", "12.3", "\u03A9"},
        {"0.512", ")", "0.512", "V", "0.512", "V"},
        {"0.512", ")V", "0.512", "V", "0.512", "V"},
        // the locale's comma: the display shows a point, the value is the same
        {"12,345", "mV", "12.345", "mV", "0.012345", "V"},
        {"-1,2345", "V", "-1.2345", "V", "-1.2345", "V"},
        // zeros: no leading or trailing ones, any zero is "0"
        {"0.0123", "V", "0.0123", "V", "0.0123", "V"},
        {"-0.000", "V", "-0.000", "V", "0", "V"},
        {"00000", "*", "00000", "\u03A9", "0", "\u03A9"},
        {"20.000", "k*", "20.000", "k\u03A9", "20000", "\u03A9"},
        {"0.1", "V", "0.1", "V", "0.1", "V"},
        {"+5", "V", "+5", "V", "5", "V"},
        {".5", "mV", ".5", "mV", "0.0005", "V"},
        {"5.", "kHz", "5.", "kHz", "5000", "Hz"},
        // overloads keep their form (with a point) and have no value
        {"L0.", "V", "L0.", "V", "", ""},
        {"-.0L", "V", "-.0L", "V", "", ""},
        {"-,0L", "mV", "-.0L", "mV", "", ""},
        {"0.L", "k*", "0.L", "k\u03A9", "", ""},
        // not a number
        {"", "V", "", "V", "", ""},
        {"-", "V", "-", "V", "", ""},
        {"1.2.3", "V", "1.2.3", "V", "", ""},
        {"1,2,3", "V", "1,2,3", "V", "", ""},
        {"1.2e3", "V", "1.2e3", "V", "", ""},
        {"NULL", "V", "NULL", "V", "", ""},
        {"1 2", "V", "1 2", "V", "", ""},
        {"1-2", "V", "1-2", "V", "", ""},
        // unknown codes stay as stored and give no value
        {"12.34", "W", "12.34", "W", "", ""},
        {"1.000", "kRPM", "1.000", "kRPM", "", ""},
        {"4.00", "mA%", "4.00", "mA%", "", ""},
        {"1,5", "NULL", "1.5", "NULL", "", ""},
        {"1.5", "", "1.5", "", "", ""},
        {"1.5", "v", "1.5", "v", "", ""},
    };
    for (const Case& c : cases) {
        const Measurement v = readMeasurement(c.display, c.unitCode);
        const std::string where = std::string(c.display) + " " + c.unitCode;
        EXPECT_EQ(v.display, c.shown) << where;
        EXPECT_EQ(v.unit, c.unit) << where;
        EXPECT_EQ(v.valueText(), c.value) << where;
        EXPECT_EQ(v.hasValue() ? v.baseUnit : "", c.baseUnit) << where;
    }
}

// The longest text the table keeps, with the largest shift either way: nothing is rounded.
TEST(ReadMeasurement, LongDisplaysKeepEveryDigit) {
    EXPECT_EQ(readMeasurement("1234567890.123456789", "nF").valueText(), "1.234567890123456789");
    EXPECT_EQ(readMeasurement("0.0000000000000000001", "nF").valueText(),
              "0.0000000000000000000000000001");
    EXPECT_EQ(readMeasurement("98765432109876543210", "M*").valueText(),
              "98765432109876543210000000");
}

} // namespace
} // namespace dmm
