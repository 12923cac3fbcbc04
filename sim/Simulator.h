// The simulated meter as a frame source: a script's states, encoded in a family's frames,
// damaged by faults, with the reading each frame must give when it arrives intact.
#pragma once

#include "Expectation.h"
#include "Faults.h"
#include "Scripts.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dmm::sim {

struct SimFrame {
    std::uint64_t seq = 0;
    std::vector<std::uint8_t> bytes; // as sent (the first Q31/Q32 frame with the leading 0x0A)
    bool intact = true;
    MeterState state;
    ExpectedReading expected;
};

struct SimOptions {
    Family family = defaultMeterFamily().id;
    std::string script = "wander";
    std::uint32_t seed = 1;
    std::vector<Fault> faults;
    std::int32_t profileFullScale = 20000;
    // A Q31/Q32 stream seen from the middle begins with the 0x0A that ended the frame before,
    // so that its first frame passes the framing check. The HID road has no such byte.
    bool leadingLineFeed = true;
};

class Simulator {
public:
    // The script name must be one that makeScript() knows ("tour", "wander").
    explicit Simulator(SimOptions options);
    SimFrame next();

private:
    SimOptions options_;
    std::unique_ptr<Script> script_;
    Expectation expectation_;
    Rng scriptRng_;
    Rng faultRng_;
    std::uint64_t seq_ = 0;
};

// One JSON line for the log: "seq", "bytes" (hex as sent), "intact", "value", "unit", "dcac",
// "range", "numeric"; no newline.
std::string logLine(const SimFrame& frame);

} // namespace dmm::sim
