// One alarm's condition as a user types it: what makes a reading "out" (above, below, outside or
// inside a value with its unit, or the limit judge's verdict "Fail"), how long it must stay out
// before the alarm fires, how many readings must be back before it clears, and a margin the
// reading must come back by.
//
//   above 5.1 V
//   outside 4.9..5.1 V for 3
//   below 20 degC for 10s hysteresis 0.5 degC
//   fail for 2m clear after 5
#pragma once

#include "TypedQuantity.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dmm {

enum class AlarmKind : std::uint8_t { Above, Below, Outside, Inside, Fail };

// Where a reading stands against a condition.
enum class AlarmSide : std::uint8_t {
    Ignored, // another base unit or coupling, no number, or no verdict: counts for nothing
    Out,     // the condition holds
    Back,    // it does not, by the hysteresis margin at least
    Between, // it does not, but within the margin: the alarm neither fires nor clears on it
};

struct AlarmCondition {
    std::string text; // as typed
    AlarmKind kind = AlarmKind::Above;
    TypedQuantity limit;              // unused for Fail
    int forReadings = 1;              // consecutive readings out before it fires
    std::int64_t forMilliseconds = 0; // or: out this long (0: not by time)
    int clearAfter = 1;               // consecutive readings back before it clears
    double hysteresis = 0;            // in the limit's base unit

    // Where `m` (with the limit judge's `verdict`, "pass", "Fail" or empty) stands.
    AlarmSide side(const Measurement& m, std::string_view verdict) const;

    // Reads `text`; on a mistake, nullopt and what was expected in `error`.
    static std::optional<AlarmCondition> parse(std::string_view text, std::string& error);
};

} // namespace dmm
