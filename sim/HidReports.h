// The USB adapter's input reports as it sends a meter's bytes: report ID 0 and 8 data bytes, the
// first a count byte 0xF0 | n followed by n meter bytes (n 1 to 7) and zero padding, and
// reports with the count 0 between frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dmm::sim {

using InputReport = std::array<std::uint8_t, 9>; // report ID, then the 8 data bytes

// The reports that carry one frame: its bytes in reports of at most maxPayload (1 to 7) bytes,
// then idleAfter (at least 1) reports without payload, which end the frame at the receiver.
std::vector<InputReport> encodeReports(const std::uint8_t* bytes, std::size_t n,
                                       std::size_t maxPayload = 7, std::size_t idleAfter = 1);

} // namespace dmm::sim
