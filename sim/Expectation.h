// The reading a decoder must make of each frame of the simulated meter, frame by frame: it
// carries what a decoder carries from one frame to the next.
#pragma once

#include "MeterFamily.h"

namespace dmm::sim {

class Expectation {
public:
    explicit Expectation(Family family, std::int32_t profileFullScale = 20000)
        : expect_(meterFamily(family).expect), state_{profileFullScale, profileFullScale} {}
    ExpectedReading next(const MeterState& s) { return expect_(s, state_); }

private:
    ExpectedReading (*expect_)(const MeterState&, ExpectationState&);
    ExpectationState state_;
};

} // namespace dmm::sim
