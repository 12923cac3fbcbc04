// Fuzz target for an alarm's condition as a user types it: whatever the text, it is read or
// refused with a reason, a condition read keeps its counts and range sane, and its state fires
// and clears strictly in turn over readings drawn from the same bytes.
#include "AlarmState.h"
#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<dmm::AlarmCondition> c = dmm::AlarmCondition::parse(text, error);
    DMM_CHECK(c.has_value() == error.empty());
    if (!c) return 0;
    DMM_CHECK(c->forReadings >= 1 && c->clearAfter >= 1 && c->forMilliseconds >= 0);
    DMM_CHECK(c->hysteresis >= 0 && c->limit.low <= c->limit.high);
    dmm::AlarmState state(*c);
    std::int64_t ms = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto side = static_cast<dmm::AlarmSide>(data[i] % 4);
        const bool wasActive = state.active();
        ms += data[i] * 100;
        const dmm::AlarmChange change = state.step(side, ms);
        DMM_CHECK(change != dmm::AlarmChange::Fired || (!wasActive && side == dmm::AlarmSide::Out));
        DMM_CHECK(change != dmm::AlarmChange::Cleared ||
                  (wasActive && side == dmm::AlarmSide::Back));
        DMM_CHECK(state.active() == (change == dmm::AlarmChange::None ? wasActive : !wasActive));
    }
    return 0;
}
