// Who is told of every frame end (the tools' JSON printer, the fuzz harness, the tests), with the
// two enumerations it is told in.
#pragma once

namespace dmm {

// The protocol families; MeterFamily.h describes each.
enum class Family { Q13, Q31, Q32 };

enum class FrameOutcome {
    Decoded,     // accepted and decoded
    Rejected,    // failed the framing check
    Undecodable, // accepted, but carries a letter where a decimal digit is read
};

// Told after every frame end, with the family and what became of the frame.
class FrameObserver {
public:
    virtual ~FrameObserver() = default;
    virtual void frameDone(Family family, FrameOutcome outcome) = 0;
};

} // namespace dmm
