#include "AlarmState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace dmm {
namespace {

// One word of a reading sequence: a DC voltage ("5.2"), "L" (overload), "2A" (another unit),
// "P"/"F" (the judge's verdict, the value 0 V), each optionally "@SECONDS" when taken.
struct Word {
    Measurement m;
    std::string verdict = "pass";
    std::int64_t ms = 0;
};

Word reading(std::string_view w, std::int64_t defaultMs) {
    Word r{{Quantity::Voltage, Coupling::DC, ValueState::Number, false, "", -3, true, "V", "V", "",
            ""}};
    r.ms = defaultMs;
    if (const std::size_t at = w.find('@'); at != std::string_view::npos) {
        r.ms = std::stoll(std::string(w.substr(at + 1))) * 1000;
        w = w.substr(0, at);
    }
    if (w == "L") r.m.state = ValueState::Overload;
    if (w == "L" || w == "F") r.verdict = "Fail";
    if (w == "L" || w == "P" || w == "F") w = "0";
    if (w.ends_with("A")) r.m.baseUnit = "A";
    const double v = std::stod(std::string(w));
    r.m.negative = v < 0;
    r.m.digits = std::to_string(std::llround(std::fabs(v) * 1000));
    return r;
}

struct Sequence {
    const char* condition;
    const char* readings; // words as above, one second apart unless timed
    const char* expected; // per reading: '.' nothing, 'F' fired, 'C' cleared
};

TEST(Alarm, DebounceClearAndHysteresisFireAndClearWhereExpected) {
    const Sequence table[] = {
        {"above 5.1 V", "5.0 5.2 5.3 5.1 5.2 4.0", ".F.CFC"},
        {"above 5.1 V", "5.0 L 2A 5.2 L 2A 5.0", "...F..C"},
        {"below 4.9 V", "5 4.8 4.9 -1", ".FCF"},
        {"above 5100 mV DC", "5.2 5.0", "FC"},
        {"above 5.1 V AC", "5.2 5.0", ".."},
        {"above 5.1 V for 3", "5.2 5.2 5.0 5.2 5.2 5.2 5.2 5.0", ".....F.C"},
        {"above 5.1 V for 3", "5.2 5.2 L 2A 5.2", "....F"},
        {"outside 4.9..5.1 V for 2", "4.8 5.2 5 5.0 4.8", ".FC.."},
        {"inside 4.9..5.1 V", "4.8 4.9 5.1 5.11", ".F.C"},
        {"above 5.1 V for 10s", "5.2@0 5.2@5 5.2@9 5.2@10 5.2@11", "...F."},
        {"above 5.1 V for 10s", "5.2@0 5.0@5 5.2@6 5.2@15 5.2@16", "....F"},
        {"above 5.1 V for 1m", "5.2@0 5.2@59 5.2@60", "..F"},
        {"above 5.1 V clear after 3", "5.2 5.0 5.0 5.2 5.0 5.0 5.0", "F.....C"},
        {"above 5.1 V hysteresis 0.2 V", "5.2 5.0 4.95 4.9 5.2", "F..CF"},
        {"below 20 degC", "5", "."},
        {"outside 4.9..5.1 V hysteresis 50 mV", "5.2 5.06 5.05 4.8 4.94 4.95", "F.CF.C"},
        {"fail", "P F F L P", ".F..C"},
        {"fail for 2 clear after 2", "F P F F P F P P", "...F...C"},
    };
    for (const Sequence& s : table) {
        SCOPED_TRACE(std::string(s.condition) + ": " + s.readings);
        std::string error;
        const std::optional<AlarmCondition> c = AlarmCondition::parse(s.condition, error);
        ASSERT_TRUE(c) << error;
        AlarmState state(*c);
        std::string got;
        std::int64_t second = 0;
        for (std::string_view w : conditionWords(s.readings)) {
            const Word r = reading(w, 1000 * ++second);
            const AlarmChange change = state.step(c->side(r.m, r.verdict), r.ms);
            got += change == AlarmChange::Fired ? 'F' : change == AlarmChange::Cleared ? 'C' : '.';
        }
        EXPECT_EQ(got, s.expected);
    }
}

TEST(Alarm, AMistakeSaysWhatWasExpected) {
    const std::pair<const char*, const char*> table[] = {
        {"over 5 V", "unknown \"over\"; expected a condition starting with above"},
        {"outside 5 V", "expected a range like 4.9..5.1 V"},
        {"above 5 V for 3h", "expected a count after \"for\""},
        {"above 5 V for 2 for 3", "unexpected \"for\""},
        {"above 5 V clear 3", "expected \"clear after N\""},
        {"above 5 V hysteresis 1 A", "the hysteresis needs the condition's unit (V)"},
    };
    for (const auto& [text, expected] : table) {
        SCOPED_TRACE(text);
        std::string error;
        EXPECT_FALSE(AlarmCondition::parse(text, error));
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    }
}

} // namespace
} // namespace dmm
