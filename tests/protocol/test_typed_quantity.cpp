#include "TypedQuantity.h"

#include <gtest/gtest.h>

namespace dmm {
namespace {

struct Typed {
    const char* text;
    bool range;
    double low, high; // in the base unit
    const char* baseUnit;
    Coupling coupling;
    std::size_t wordsRead; // 0: an error is expected
};

TEST(TypedQuantity, UnitsPrefixesRangesAndCouplingReadIntoTheBaseUnit) {
    const Typed cases[] = {
        {"5.1 V", false, 5.1, 5.1, "V", Coupling::None, 2},
        {"5.1V for 3", false, 5.1, 5.1, "V", Coupling::None, 1},
        {"-20 mV DC", false, -0.02, -0.02, "V", Coupling::DC, 3},
        {"150 uA AC", false, 150e-6, 150e-6, "A", Coupling::AC, 3},
        {"150 \u00B5A", false, 150e-6, 150e-6, "A", Coupling::None, 2},
        {"4.7 kohm", false, 4700, 4700, "\u03A9", Coupling::None, 2},
        {"4.7 k\u03A9", false, 4700, 4700, "\u03A9", Coupling::None, 2},
        {"1 M\u2126", false, 1e6, 1e6, "\u03A9", Coupling::None, 2},
        {"10 nF", false, 10e-9, 10e-9, "F", Coupling::None, 2},
        {"1.5 kHz", false, 1500, 1500, "Hz", Coupling::None, 2},
        {"50 %", false, 50, 50, "%", Coupling::None, 2},
        {"20 degC", false, 20, 20, "\u00B0C", Coupling::None, 2},
        {"68 \u00B0F", false, 68, 68, "\u00B0F", Coupling::None, 2},
        {"1e-3 A", false, 1e-3, 1e-3, "A", Coupling::None, 2},
        {"4.9..5.1 V", true, 4.9, 5.1, "V", Coupling::None, 2},
        {"5..6 mV AC", true, 5e-3, 6e-3, "V", Coupling::AC, 3},
        {"-1..1V", true, -1, 1, "V", Coupling::None, 1},
        // refused: no unit, an unknown or prefixed-where-none unit, a reversed or missing range
        {"5.1", false, 0, 0, "", Coupling::None, 0},
        {"5.1 volts", false, 0, 0, "", Coupling::None, 0},
        {"20 mdegC", false, 0, 0, "", Coupling::None, 0},
        {"V", false, 0, 0, "", Coupling::None, 0},
        {"5,1 V", false, 0, 0, "", Coupling::None, 0},
        {"5.1..4.9 V", true, 0, 0, "", Coupling::None, 0},
        {"5.1 V", true, 0, 0, "", Coupling::None, 0},
        {"4.9.. V", true, 0, 0, "", Coupling::None, 0},
        {"inf V", false, 0, 0, "", Coupling::None, 0},
    };
    for (const Typed& c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<std::string_view> words = conditionWords(c.text);
        std::size_t pos = 0;
        TypedQuantity q;
        const std::string error = readTypedQuantity(words, pos, c.range, q);
        if (c.wordsRead == 0) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_EQ(error, "");
        EXPECT_EQ(pos, c.wordsRead);
        EXPECT_DOUBLE_EQ(q.low, c.low);
        EXPECT_DOUBLE_EQ(q.high, c.high);
        EXPECT_EQ(q.baseUnit, c.baseUnit);
        EXPECT_EQ(q.coupling, c.coupling);
    }
}

} // namespace
} // namespace dmm
