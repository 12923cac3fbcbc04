#include "Faults.h"

#include <cstdlib>
#include <string>

namespace dmm::sim {

std::optional<Fault> parseFault(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view kind = text.substr(0, colon);
    const std::string number(text.substr(colon + 1));
    Fault f{};
    if (kind == "drop")
        f.kind = FaultKind::Drop;
    else if (kind == "corrupt")
        f.kind = FaultKind::Corrupt;
    else if (kind == "stray")
        f.kind = FaultKind::Stray;
    else
        return std::nullopt;
    if (number.empty()) return std::nullopt;
    char* end = nullptr;
    f.probability = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return std::nullopt;
    if (!(f.probability >= 0 && f.probability <= 1)) return std::nullopt;
    return f;
}

bool applyFaults(std::vector<std::uint8_t>& frame, const std::vector<Fault>& faults, Rng& rng) {
    bool touched = false;
    for (const Fault& f : faults) {
        if (!rng.chance(f.probability)) continue;
        switch (f.kind) {
        case FaultKind::Drop:
            if (frame.empty()) continue;
            frame.erase(frame.begin() + rng.below(static_cast<std::uint32_t>(frame.size())));
            break;
        case FaultKind::Corrupt: {
            if (frame.empty()) continue;
            const auto at = rng.below(static_cast<std::uint32_t>(frame.size()));
            frame[at] = static_cast<std::uint8_t>(frame[at] ^ (1 + rng.below(255)));
            break;
        }
        case FaultKind::Stray: {
            const auto at = rng.below(static_cast<std::uint32_t>(frame.size() + 1));
            frame.insert(frame.begin() + at, static_cast<std::uint8_t>(rng.below(256)));
            break;
        }
        }
        touched = true;
    }
    return touched;
}

} // namespace dmm::sim
