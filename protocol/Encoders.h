// Frame encoders of the simulated meter, one per family, each written from the family's frame
// layout, the reading a decoder must make of each frame, and the tour of its functions.
#pragma once

#include "MeterModel.h"

#include <cstdint>
#include <vector>

namespace dmm::sim {

// Q32: nine data bytes (one nibble each, the high nibble 3 as an ASCII-like meter sends them),
// then 0x0D 0x0A.
std::vector<std::uint8_t> encodeQ32(const MeterState& s);
// Q31: range, four digits, function, three status nibbles, then 0x0D 0x0A.
std::vector<std::uint8_t> encodeQ31(const MeterState& s);
// Q13: fourteen bytes, the sequence number 1 to E in the high nibble, four LCD segment or
// annunciator bits in the low nibble.
std::vector<std::uint8_t> encodeQ13(const MeterState& s);

// What a decoder carries from one frame to the next that the reading depends on: the Q32 full
// scale, which some ranges leave as it was (an overload there reads the full scale of the range
// before). profileFullScale is the start-up full scale of the count profile (20000 for the
// shipped 20000-count model); Q13 and Q31 overloads read it.
struct ExpectationState {
    std::int32_t profileFullScale = 20000;
    std::int32_t fullScale = 20000;
};

// The reading a decoder must make of each family's frame of a state.
ExpectedReading expectQ32(const MeterState& s, ExpectationState& st);
ExpectedReading expectQ31(const MeterState& s, ExpectationState& st);
ExpectedReading expectQ13(const MeterState& s, ExpectationState& st);

// The "tour" script's states for each family: every function code and range, each coupling,
// both overload forms, the sign and automatic ranging.
std::vector<MeterState> tourQ32();
std::vector<MeterState> tourQ31();
std::vector<MeterState> tourQ13();

// How many ranges the simulated Q13 meter has in a function (its range digits are 0 to n-1).
int q13RangeCount(Function f);

// The Q31 function code of a function; the Q32 function code likewise.
char q31FunctionCode(Function f);
int q32FunctionCode(Function f);
// Whether a Q32 range digit gives its function a decimal point and a full scale of its own.
bool q32RangeDefined(Function f, int r);

} // namespace dmm::sim
