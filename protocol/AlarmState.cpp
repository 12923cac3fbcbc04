#include "AlarmState.h"

namespace dmm {

AlarmChange AlarmState::step(AlarmSide side, std::int64_t milliseconds) {
    if (side == AlarmSide::Ignored) return AlarmChange::None;
    if (!active_) {
        if (side != AlarmSide::Out) {
            outRun_ = 0;
            return AlarmChange::None;
        }
        if (outRun_++ == 0) outSince_ = milliseconds;
        const bool held = condition_.forMilliseconds > 0
                              ? milliseconds - outSince_ >= condition_.forMilliseconds
                              : outRun_ >= condition_.forReadings;
        if (!held) return AlarmChange::None;
        active_ = true;
        backRun_ = 0;
        return AlarmChange::Fired;
    }
    if (side != AlarmSide::Back) {
        backRun_ = 0;
        return AlarmChange::None;
    }
    if (++backRun_ < condition_.clearAfter) return AlarmChange::None;
    active_ = false;
    outRun_ = 0;
    return AlarmChange::Cleared;
}

} // namespace dmm
