// Damage on the line: a lost byte, a changed byte, an added byte, each with a probability per
// frame.
#pragma once

#include "Random.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace dmm::sim {

enum class FaultKind { Drop, Corrupt, Stray };

struct Fault {
    FaultKind kind;
    double probability; // 0 to 1, per frame
};

// "drop:0.1", "corrupt:0.05", "stray:1"; nullopt for anything else.
std::optional<Fault> parseFault(std::string_view text);

// Applies each fault to the frame with its probability; returns whether any touched it.
bool applyFaults(std::vector<std::uint8_t>& frame, const std::vector<Fault>& faults, Rng& rng);

} // namespace dmm::sim
