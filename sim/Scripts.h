// What the simulated meter shows frame after frame: a named script of meter states.
#pragma once

#include "Meter.h"
#include "MeterModel.h"
#include "Random.h"

#include <memory>
#include <string_view>

namespace dmm::sim {

class Script {
public:
    virtual ~Script() = default;
    virtual MeterState next(Rng& rng) = 0;
};

// "wander": a slowly wandering DC voltage, as a meter on a drifting supply shows it.
// "tour": every function code and range of the family, each coupling, both overload forms, the
// duty cycle, the sign and automatic ranging, one state per frame, then again.
// "switch-on": a supply off (a creep below 0.15 V) for 150 frames, then switched on through 1 V
// to 12 V for 50 frames, then again.
// Returns nullptr for an unknown name.
std::unique_ptr<Script> makeScript(std::string_view name, Family family);

} // namespace dmm::sim
