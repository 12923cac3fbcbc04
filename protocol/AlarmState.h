// Whether one alarm is active, reading by reading: it fires once its condition has held for the
// readings (or the time) the condition asks, and clears once enough readings in a row are back
// by the hysteresis margin. Readings the condition ignores (another unit, no number) neither
// count nor break a run.
#pragma once

#include "AlarmCondition.h"

#include <cstdint>

namespace dmm {

enum class AlarmChange : std::uint8_t { None, Fired, Cleared };

class AlarmState {
public:
    explicit AlarmState(const AlarmCondition& condition) : condition_(condition) {}

    // One reading where `side` stands, taken at `milliseconds` (any steady clock).
    AlarmChange step(AlarmSide side, std::int64_t milliseconds);

    bool active() const { return active_; }
    const AlarmCondition& condition() const { return condition_; }

private:
    AlarmCondition condition_;
    bool active_ = false;
    int outRun_ = 0;
    std::int64_t outSince_ = 0;
    int backRun_ = 0;
};

} // namespace dmm
